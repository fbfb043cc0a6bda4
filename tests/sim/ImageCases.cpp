#include "ImageCases.h"

#include "image/Encodings.h"
#include "protocol/ParamTable.h"

#include <cmath>

namespace kv::test {

namespace {

constexpr int kLastChannelModule = 12;

/// A value of the row's encoding for the n-th row.
void SetVaried(ParamImage& image, const ParamRow& row, int n) {
    const MainField& f = *row.field;
    const int e = row.entry;
    switch (row.wire) {
    case Wire::X100:
    case Wire::X10000:
        image.SetInt(f, e, 3 + 7 * n);
        break;
    case Wire::Flag100:
        image.SetInt(f, e, n % 2 == 0 ? 100 : 0);
        break;
    case Wire::Byte:
        image.SetInt(f, e, (11 + 5 * n) % 200);
        break;
    case Wire::BytePlus5:
        image.SetInt(f, e, -2);
        break;
    case Wire::Inverted:
    case Wire::BassBoostSwitch:
    case Wire::Phase:
        image.SetInt(f, e, n % 2);
        break;
    case Wire::DelayMode:
        image.SetInt(f, e, 1 - n % 2);
        break;
    case Wire::Raw:
        image.SetFloat(f, e, -12.25f + static_cast<float>(n));
        break;
    case Wire::Rounded:
        image.SetFloat(f, e, 119.997f + static_cast<float>(n));
        break;
    case Wire::Step:
        image.SetFloat(f, e, static_cast<float>(10 + n));
        break;
    case Wire::Samples:
        image.SetFloat(f, e, 20.5f + static_cast<float>(n)); // whole samples at 48 kHz
        break;
    case Wire::WholeMsSamples:
    case Wire::IntMsSamples:
        if (f.IsFloat()) {
            image.SetFloat(f, e, static_cast<float>(100 + n));
        } else {
            image.SetInt(f, e, 100 + n);
        }
        break;
    case Wire::ShiftFreq:
        image.SetInt(f, e, 2 + n % 7);
        break;
    case Wire::ShiftOff:
    case Wire::ShiftDelay:
        break; // follows the frequency (0 = on)
    case Wire::Dynamics: {
        const DynamicsSlots s = DynamicsSlotsOf(row);
        image.SetSlotFloat(s.threshold, -10.0f - static_cast<float>(n % 20));
        image.SetSlotFloat(s.ratio, 2.0f + static_cast<float>(n % 5));
        image.SetSlotFloat(s.attack, 5.0f + static_cast<float>(n % 30));
        image.SetSlotFloat(s.release, 100.0f + static_cast<float>(n % 50));
        break;
    }
    }
}

bool Near(float a, float b, float relative) {
    return std::fabs(a - b) <= relative * std::max(1.0f, std::fabs(a));
}

} // namespace

bool NotInStore(int module, int item) {
    return module == kLastChannelModule && (item == 17 || item == 19 || item == 25);
}

void FillVaried(ParamImage& image) {
    image.InitDefaults();
    int n = 0;
    for (const ParamRow& row : ParamRows()) {
        if (row.readBack) {
            SetVaried(image, row, n++);
        }
    }
    std::vector<std::uint8_t> system(kSystemBlockSize);
    for (std::size_t i = 0; i < system.size(); ++i) {
        system[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    image.WriteBlock(Block::System, 0, system);
    for (int c = 0; c < kOutputChannels; ++c) {
        image.SetExtensionTrim(c, -1.5f * static_cast<float>(c));
    }
    image.WriteBlock(Block::Routing, 0,
                     std::vector<std::uint8_t>{6,    8,    0x85, 0x05, 0x8A, 0x0A, 0x00,
                                               0x0A, 0x0A, 0x0A, 0x8A, 0x8A, 0x00, 0x8A,
                                               0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00});
    image.SetTailValue(-6.0f);
}

void ExpectCarried(const ParamImage& expected, const ParamImage& actual) {
    for (Block b : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        EXPECT_EQ(expected.BlockBytes(b), actual.BlockBytes(b)) << "block " << int(b);
    }
    for (const ParamRow& row : ParamRows()) {
        if (!row.readBack || NotInStore(row.module, row.item)) {
            continue;
        }
        SCOPED_TRACE(::testing::Message() << "(" << int(row.module) << ", " << int(row.item) << ") "
                                          << row.field->name << "[" << int(row.entry) << "]");
        const MainField& f = *row.field;
        const int e = row.entry;
        switch (row.wire) {
        case Wire::Rounded:
            EXPECT_EQ(actual.Float(f, e), RoundedSingle(expected.Float(f, e)));
            break;
        case Wire::Dynamics: {
            const DynamicsSlots s = DynamicsSlotsOf(row);
            for (int slot : {s.threshold, s.ratio, s.attack, s.release}) {
                EXPECT_TRUE(Near(expected.SlotFloat(slot), actual.SlotFloat(slot), 1e-3f))
                    << "slot " << slot << ": " << expected.SlotFloat(slot) << " vs "
                    << actual.SlotFloat(slot);
            }
            break;
        }
        default:
            EXPECT_EQ(actual.Int(f, e), expected.Int(f, e));
            break;
        }
    }
}

} // namespace kv::test
