#pragma once

#include "sim/ParamSet.h"
#include "sim/ZWaveNetwork.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {
class ParamImage;
}

namespace kv::sim {

inline constexpr std::size_t kReportBytes = 61;
using Report = std::array<std::uint8_t, kReportBytes>;
using SimClock = std::chrono::steady_clock;

/// Identity the processor reports.
struct Identity {
    std::string model = "KV5930Q";
    int commVersion = 18;
    std::string mcuVersion = "2024-03-18";
    std::string dspVersion = "2024-03-20";
};

/// How the processor answers a request to learn a remote key.
enum class LearnAnswer {
    Press,  ///< the user presses the key after the learning delay
    Manual, ///< nothing happens until PressKeyCode (a test or a person chooses the code)
    Refuse, ///< after the learning delay the processor reports that it learned nothing
    Silent, ///< the processor never reports (the application has to cancel)
};

/// What one command produced.
struct CommandResult {
    /// The reports to send, in order. For a command written by the application's waiting
    /// writer this is exactly one report (the lock-step answer); a relayed Z-Wave frame
    /// brings the controller's own frames, an acknowledgement nothing.
    std::vector<Report> reports;
    bool lockStep = true;
    /// A learning was started: the simulated key press is due after this delay.
    std::optional<std::chrono::milliseconds> keyPressAfter;
    /// Reports of the Z-Wave network due later (delayed callbacks, a plug's learning).
    std::vector<TimedReport> later;
};

/// The processor's state and its answers to every command, without threads or transport.
/// Not thread-safe: the Simulator serialises the calls.
class SimProcessor {
public:
    explicit SimProcessor(Identity identity = {});

    CommandResult Handle(const Report& command, SimClock::time_point now);

    /// Loads an image as the live parameters and as the stored setting of the current mode.
    void LoadState(const ParamImage& image);
    /// The simulated end of the pending learning after its delay (a key press, or a refusal
    /// in Refuse mode); nullopt when it was cancelled.
    std::optional<Report> PressLearnKey();
    /// The user presses a key whose code is code while a learning is pending: report 96 with
    /// the pending key and that code. nullopt when no learning is pending.
    std::optional<Report> PressKeyCode(std::uint8_t code);
    void SetLearnAnswer(LearnAnswer answer) { m_learnAnswer = answer; }
    /// Holds the six input levels of the status report still (tests, screenshots).
    void SetMetersStill(bool still) { m_metersStill = still; }
    LearnAnswer GetLearnAnswer() const { return m_learnAnswer; }
    /// The key being learned (1..17), 0 when none.
    int PendingLearnKey() const { return m_pendingKey; }
    /// An unsolicited report of one of the types the processor sends by itself (5, 6, 9).
    Report Unsolicited(std::uint8_t type) const;

    /// Delay between a learning request and its simulated key press.
    void SetLearnDelay(std::chrono::milliseconds delay) { m_learnDelay = delay; }
    /// The code the processor learns for key k.
    static std::uint8_t LearnedCode(int key);

    const ParamSet& Live() const { return m_live; }
    const ParamSet& Mode(int m) const { return m_modes.at(static_cast<std::size_t>(m)); }
    int CurrentMode() const { return m_currentMode; }
    std::u16string ModeName(int m) const { return m_modeNames.at(static_cast<std::size_t>(m)); }
    const std::array<std::uint8_t, 14>& MachineSettings() const { return m_settings; }
    const std::array<std::uint8_t, 18>& LearnTable() const { return m_learnTable; }
    /// True when the live parameters differ from the stored current mode.
    bool LiveDiffers() const;
    /// The Z-Wave controller and its network.
    ZWaveNetwork& Network() { return m_network; }
    const ZWaveNetwork& Network() const { return m_network; }
    /// The smart-home memory (6860 bytes: device records, then scene records).
    const std::vector<std::uint8_t>& SmartHomeMemory() const { return m_memory; }

private:
    Report Answer(std::uint8_t type) const;
    Report Ack() const;
    Report Text(std::uint8_t type, const std::string& text) const;
    Report ParamError(std::uint8_t status, const Report& command) const;
    Report SetParam(const Report& c);
    Report QueryParam(const Report& c) const;
    Report StoreRead(const Report& c) const;
    Report StoreWrite(const Report& c);
    Report MemoryRead(const Report& c) const;
    Report MemoryWrite(const Report& c);
    Report ModeCommand(std::uint8_t code, int mode);
    Report Status(SimClock::time_point now) const;
    void ZWave(const Report& c, CommandResult& result);
    void FactoryReset();

    Identity m_identity;
    std::array<ParamSet, 4> m_factory;
    std::array<ParamSet, 4> m_modes;
    ParamSet m_live;
    int m_currentMode = 0;
    std::array<std::u16string, 4> m_modeNames;
    std::array<std::uint8_t, 14> m_settings{};
    std::array<std::uint8_t, 18> m_learnTable{};
    std::vector<std::uint8_t> m_memory;
    ZWaveNetwork m_network;
    int m_pendingKey = 0;
    std::chrono::milliseconds m_learnDelay{1500};
    LearnAnswer m_learnAnswer = LearnAnswer::Press;
    SimClock::time_point m_start;
    bool m_metersStill = false;
    /// The last status record and the millisecond it was computed for.
    struct StatusCache {
        std::int64_t tick = 0;
        bool still = false;
        Report report{};
    };
    mutable std::optional<StatusCache> m_statusCache;
};

/// The factory setting of mode m (0..3) as an image: the application's defaults with the
/// levels, roles and effect settings a processor leaves the factory with.
void FillFactoryImage(ParamImage& image, int mode);

} // namespace kv::sim
