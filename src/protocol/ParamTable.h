#pragma once

#include "image/MainFields.h"

#include <cstdint>
#include <span>

/// The parameter command table: which (module, item) carries which image field and how the
/// value travels. The setters, the write-all and the decoder all read this one table.
namespace kv {

/// How a parameter travels between its image field and the 4-byte values of a command.
enum class Wire : std::uint8_t {
    X100,            ///< slot / 100 as a single; read back as the x100 integer
    X10000,          ///< slot / 10000 as a single; read back as the x10000 integer
    Flag100,         ///< 1.0 when the slot is not 0, else 0.0; read back as the x100 integer
    Byte,            ///< byte value; read back as the byte
    BytePlus5,       ///< byte value slot + 5; read back as the byte - 5
    Inverted,        ///< 1.0 when the slot is 0, else 0.0; read back 1 when the x100 is 0
    BassBoostSwitch, ///< byte 1 when the slot is 0, else 0; read back likewise; copied when sent
    Raw,             ///< the single as stored; read back unrounded
    Rounded,         ///< the single as stored; read back with the 0.005 rounding
    Step,            ///< a single holding a step s, sent as s / 100; read back as the x100
    Samples,         ///< single ms as a sample count, raised to the row's minimum
    WholeMsSamples,  ///< single ms truncated to whole ms, raised to the minimum, as samples
    IntMsSamples,    ///< integer ms as a sample count; read back truncated to whole ms
    ShiftFreq,       ///< integer Hz as the angular step f x 2 pi / 48000; read back as Hz
    ShiftDelay,      ///< the shifter's delay derived from the frequency; never read back
    ShiftOff,        ///< byte; a 1 read back also sets the shift frequency to 1 (off)
    Phase,           ///< -1.0 when the slot is 1, else 1.0; read back 1 when the x100 <= 0
    DelayMode,       ///< 1.0, then 1.0 for mode 0 or 0.0 for mode 1; read back from value 1
    Dynamics,        ///< seven-value dynamics record of threshold, ratio, attack, release
};

/// One row of the command table.
struct ParamRow {
    std::uint8_t module;
    std::uint8_t item;
    std::uint8_t count; ///< values per command
    Wire wire;
    const MainField* field;
    std::uint8_t entry; ///< entry of the field (microphone, channel A/B, output channel)
    bool readBack;      ///< false for items the processor reports only as duplicates
    float minMs;        ///< lower limit of sample-count parameters (0 = none)
};

inline constexpr int kFirstModule = 1;
inline constexpr int kLastModule = 13;
inline constexpr int kFirstOutputModule = 5;
inline constexpr int kMaxParamValues = 13;

/// Every row, ordered by module and item.
std::span<const ParamRow> ParamRows();
/// The row of (module, item), or nullptr when the table has none.
const ParamRow* FindParamRow(int module, int item);

/// The four image slots a dynamics row carries: threshold, ratio, attack, release.
struct DynamicsSlots {
    int threshold;
    int ratio;
    int attack;
    int release;
};
DynamicsSlots DynamicsSlotsOf(const ParamRow& row);

} // namespace kv
