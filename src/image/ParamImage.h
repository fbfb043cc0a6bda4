#pragma once

#include "image/EqBand.h"
#include "image/MainFields.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr int kMainSlots = 228;
inline constexpr std::size_t kMainBlockSize = 912;
inline constexpr std::size_t kBandRecordSize = 7;
inline constexpr int kBandRecords = 179;
inline constexpr std::size_t kSystemBlockSize = 1253;
/// Records 0..177 carry defaults; older mode files hold only these.
inline constexpr std::size_t kSystemDefaultsSize = 1246;
inline constexpr std::size_t kExtensionBlockSize = 32;
inline constexpr std::size_t kRoutingBlockSize = 20;
inline constexpr std::size_t kTailBlockSize = 2;
inline constexpr std::size_t kReadBackSize = 3299;
inline constexpr std::size_t kHubBlockSize = 550;
inline constexpr std::size_t kDeviceRecordSize = 28;
inline constexpr int kDeviceRecords = 233;
inline constexpr std::size_t kSceneRecordSize = 56;
inline constexpr int kSceneRecords = 6;

/// Offsets of the blocks inside the read-back block (the processor's store).
inline constexpr std::size_t kReadBackSystemOffset = 0;
inline constexpr std::size_t kReadBackExtensionOffset = 1253;
inline constexpr std::size_t kReadBackRoutingOffset = 1285;
inline constexpr std::size_t kReadBackTailOffset = 1305;
inline constexpr std::size_t kReadBackRecordsOffset = 1317;

inline constexpr int kOutputChannels = 8;
inline constexpr int kModes = 4;
inline constexpr std::size_t kModeNameUnits = 24;
inline constexpr std::size_t kModelUnits = 32;
inline constexpr std::size_t kDspVersionUnits = 16;
inline constexpr std::size_t kMcuVersionUnits = 12;

/// Hub block regions.
inline constexpr std::size_t kHubNodeTableOffset = 24;
inline constexpr std::size_t kHubNodeTableSize = 466;
inline constexpr std::size_t kHubPendingAddOffset = 492;
inline constexpr std::size_t kHubSettingsEditOffset = 520;
inline constexpr std::size_t kHubSettingsOffset = 536;
inline constexpr std::size_t kMachineSettingsSize = 14;

/// The byte blocks of the image. All of them are guarded by the image lock.
enum class Block : std::uint8_t {
    System,      ///< 179 equaliser band records
    Extension,   ///< eight big-endian singles: positioning trims of CH1..CH8
    Routing,     ///< room geometry
    Tail,        ///< packed microphone bass-enhancement level
    ReadBack,    ///< raw copy of the processor's store
    Hub,         ///< infrared learning, Z-Wave nodes, machine settings
    DeviceTable, ///< smart-home memory: 233 device records of 28 bytes
    SceneTable,  ///< smart-home memory: 6 scene records of 56 bytes
};

std::size_t BlockSize(Block block);

/// The room geometry derived from the routing block. Speaker order: L, CEN, R, SBL, SUB,
/// SBR, SL, SR.
struct RoomGeometry {
    int width = 0;
    int length = 0;
    float listenerX = 0;
    float listenerY = 0;
    std::array<float, 8> speakerX{};
    std::array<float, 8> speakerY{};
};

/// The PC-side copy of everything the processor keeps.
///
/// Threads: the reader thread, synchronisation threads and the user-interface thread all
/// write it. Main-block slots and the flags are atomics and can be used from any thread.
/// The byte blocks, strings and derived geometry are guarded by one lock held only for the
/// duration of a copy, so a band or block is never seen half-written.
class ParamImage {
public:
    ParamImage();
    ParamImage(const ParamImage&) = delete;
    ParamImage& operator=(const ParamImage&) = delete;

    /// Start-up defaults: identity strings and mode names, routing block, machine settings,
    /// main and system blocks, echo defaults, extension block, band defaults.
    void InitDefaults();

    // --- Main block ------------------------------------------------------------------------

    std::int32_t Slot(int index) const;
    void SetSlot(int index, std::int32_t value);
    float SlotFloat(int index) const;
    void SetSlotFloat(int index, float value);

    std::int32_t Int(const MainField& field, int entry = 0) const;
    void SetInt(const MainField& field, int entry, std::int32_t value);
    void SetInt(const MainField& field, std::int32_t value) { SetInt(field, 0, value); }
    float Float(const MainField& field, int entry = 0) const;
    void SetFloat(const MainField& field, int entry, float value);
    void SetFloat(const MainField& field, float value) { SetFloat(field, 0, value); }

    /// The 912 bytes of the main block, slots least significant byte first.
    std::array<std::uint8_t, kMainBlockSize> MainBlock() const;
    /// Overwrites the main block from its start with as many bytes as given (at most 912).
    void SetMainBlock(std::span<const std::uint8_t> bytes);

    // --- Flags -----------------------------------------------------------------------------

    bool Connected() const { return m_connected.load(); }
    void SetConnected(bool connected) { m_connected.store(connected ? 1 : 0); }
    float PreviousBassLevel() const { return m_previousBassLevel.load(); }
    void SetPreviousBassLevel(float db) { m_previousBassLevel.store(db); }
    int CommVersion() const { return m_commVersion.load(); }
    void SetCommVersion(int version) { m_commVersion.store(version); }

    // --- Byte blocks -------------------------------------------------------------------------

    /// Copies data into the block at offset, cut at the block's end; returns the bytes
    /// copied. Writing the routing block recomputes the derived geometry.
    std::size_t WriteBlock(Block block, std::size_t offset, std::span<const std::uint8_t> data);
    /// Copies from the block at offset into out, cut at the block's end; returns the bytes
    /// copied.
    std::size_t ReadBlock(Block block, std::size_t offset, std::span<std::uint8_t> out) const;
    /// The whole block.
    std::vector<std::uint8_t> BlockBytes(Block block) const;
    void FillBlock(Block block, std::uint8_t value);
    std::uint8_t BlockByte(Block block, std::size_t offset) const;
    void SetBlockByte(Block block, std::size_t offset, std::uint8_t value);

    std::uint8_t HubByte(std::size_t offset) const { return BlockByte(Block::Hub, offset); }
    void SetHubByte(std::size_t offset, std::uint8_t v) { SetBlockByte(Block::Hub, offset, v); }

    /// Splits the read-back block into the system, extension, routing and tail blocks and
    /// recomputes the derived geometry.
    void CopyReadBackToBlocks();

    // --- Equaliser bands -----------------------------------------------------------------------

    /// Record index of band b of equaliser group g (groups 0, 13 and above 14 address the
    /// records of group 1). Returns -1 when the pair addresses no record.
    static int BandRecordIndex(int group, int band);
    EqBand ReadBand(int group, int band) const;
    /// Stores the band record and returns its byte offset in the system block, or -1 when
    /// the pair addresses no record.
    int WriteBand(int group, int band, double gainDb, double freqHz, double q, int type);
    EqBand ReadRecord(int record) const;
    void WriteRecord(int record, double gainDb, double freqHz, double q, int type);
    /// The raw 7 bytes of a record.
    std::array<std::uint8_t, kBandRecordSize> RecordBytes(int record) const;

    // --- Extension and tail ----------------------------------------------------------------------

    float ExtensionTrim(int channel) const;
    void SetExtensionTrim(int channel, float db);
    float TailValue() const;
    void SetTailValue(float db);

    // --- Routing
    // ------------------------------------------------------------------------------------

    RoomGeometry Geometry() const;
    /// Replaces the derived geometry (the routing block is written by PackRouting).
    void SetGeometry(const RoomGeometry& geometry);
    /// Recomputes the derived geometry from the routing block.
    void UnpackRouting();
    /// Writes the routing block back from the derived geometry.
    void PackRouting();

    // --- Strings
    // ------------------------------------------------------------------------------------

    std::u16string ModeName(int mode) const;
    void SetModeName(int mode, std::u16string_view name);
    std::u16string Model() const;
    void SetModel(std::u16string_view text);
    std::u16string DspVersion() const;
    void SetDspVersion(std::u16string_view text);
    std::u16string McuVersion() const;
    void SetMcuVersion(std::u16string_view text);

private:
    std::uint8_t* BlockData(Block block);
    const std::uint8_t* BlockData(Block block) const;
    void UnpackRoutingLocked();
    void WriteRecordLocked(int record, std::uint16_t gain, std::uint16_t freq, std::uint16_t q,
                           std::uint8_t type);

    std::array<std::atomic<std::int32_t>, kMainSlots> m_main{};
    std::atomic<std::int32_t> m_connected{0};
    std::atomic<float> m_previousBassLevel{0.0f};
    std::atomic<int> m_commVersion{1};

    /// Must be locked when using any of the members below.
    mutable std::mutex m_lock;
    std::array<std::uint8_t, kSystemBlockSize> m_system{};
    std::array<std::uint8_t, kExtensionBlockSize> m_extension{};
    std::array<std::uint8_t, kRoutingBlockSize> m_routing{};
    std::array<std::uint8_t, kTailBlockSize> m_tail{};
    std::array<std::uint8_t, kReadBackSize> m_readBack{};
    std::array<std::uint8_t, kHubBlockSize> m_hub{};
    std::array<std::uint8_t, kDeviceRecordSize * kDeviceRecords> m_devices{};
    std::array<std::uint8_t, kSceneRecordSize * kSceneRecords> m_scenes{};
    RoomGeometry m_geometry;
    std::array<std::u16string, kModes> m_modeNames;
    std::u16string m_model;
    std::u16string m_dspVersion;
    std::u16string m_mcuVersion;
};

/// The process-wide image, created on first use and never destroyed.
ParamImage& GetParamImage();

/// Default routing block: room 4 m x 4 m, listener in the centre, speakers around it.
inline constexpr std::array<std::uint8_t, kRoutingBlockSize> kDefaultRouting = {
    0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
    0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};

} // namespace kv
