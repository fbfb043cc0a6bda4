#include "RoundTrip.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/DelayOperations.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

namespace kv::test {

namespace {

using namespace fields;

/// Field descriptors are compared by slot: AllMainFields() holds copies.
bool Is(const MainField& a, const MainField& b) {
    return a.slot == b.slot;
}

/// A whole number of samples as milliseconds, so the sample count carries it exactly.
float OnSampleGrid(std::mt19937& rng, int minSamples, int maxSamples) {
    return SamplesToMs(std::uniform_int_distribution<std::uint32_t>(
        static_cast<std::uint32_t>(minSamples), static_cast<std::uint32_t>(maxSamples))(rng));
}

std::int32_t RandomSlot(const MainField& f, std::mt19937& rng) {
    const auto intIn = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto realIn = [&rng](float lo, float hi) {
        return std::bit_cast<std::int32_t>(std::uniform_real_distribution<float>(lo, hi)(rng));
    };
    const auto bits = [](float v) { return std::bit_cast<std::int32_t>(v); };
    if (Is(f, echoPredelay) || Is(f, reverbPredelay)) {
        return bits(OnSampleGrid(rng, 96, 24000));
    }
    if (Is(f, echoTime)) {
        return bits(static_cast<float>(intIn(2, 1000)));
    }
    if (Is(f, outDelay)) {
        return bits(OnSampleGrid(rng, 72, 4800));
    }
    if (Is(f, outCompAttack) || Is(f, outCompRelease)) {
        return realIn(1.0f, 1000.0f);
    }
    if (Is(f, outCompRatio) || Is(f, musicInputLimiter)) {
        return realIn(1.0f, 20.0f); // for the limiter: threshold, ratio and both times
    }
    if (Is(f, micShiftFreqA) || Is(f, micShiftFreqB)) {
        return intIn(0, 8);
    }
    if (Is(f, outDelayMode) || f.encoding == SlotEncoding::InvFlag ||
        f.encoding == SlotEncoding::Flag) {
        return intIn(0, 1);
    }
    if (Is(f, musicBassDelay)) {
        return intIn(0, 100);
    }
    switch (f.encoding) {
    case SlotEncoding::X100:
        return intIn(-2000, 2000);
    case SlotEncoding::X10000:
        return intIn(0, 100);
    case SlotEncoding::X100Flag:
        return 100 * intIn(0, 1);
    case SlotEncoding::Byte:
        return intIn(0, 255);
    case SlotEncoding::ByteMinus5:
        return intIn(-5, 250);
    case SlotEncoding::FloatStep:
        return bits(static_cast<float>(intIn(0, 100)));
    case SlotEncoding::Float:
        return realIn(-40.0f, 450.0f);
    default:
        return intIn(0, 1000);
    }
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::mt19937& rng) {
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

struct Expected {
    std::int32_t bits;
    double tolerance; ///< 0 = bit for bit
};

Expected AfterReadBack(const MainField& f, int entry, const ParamImage& sent) {
    const std::int32_t v = sent.Int(f, entry);
    const float x = std::bit_cast<float>(v);
    if (Is(f, exciterLowFreq) || Is(f, exciterLowGain) || Is(f, exciterMidFreq) ||
        Is(f, exciterMidGain) || Is(f, exciterHighFreq) || Is(f, exciterHighGain)) {
        return {std::bit_cast<std::int32_t>(RoundedSingle(x)), 0};
    }
    if (Is(f, outCompRatio) || (Is(f, musicInputLimiter) && entry == 1)) {
        return {v, 1e-5 * std::fabs(x)};
    }
    if (Is(f, outCompAttack) || Is(f, outCompRelease) || (Is(f, musicInputLimiter) && entry >= 2)) {
        return {v, 2e-4 * std::fabs(x)};
    }
    // Not in the processor's store: the last channel's phase, delay switch and delay mode,
    // and the application's own copy of the bass enhancement switch. They keep the defaults.
    if ((entry == 7 && (Is(f, outPhaseInvert) || Is(f, outDelayOff) || Is(f, outDelayMode))) ||
        Is(f, micBassBoostOnCopy)) {
        return {0, 0};
    }
    return {v, 0};
}

} // namespace

void FillRandomImage(ParamImage& image, std::mt19937& rng) {
    image.InitDefaults();
    for (const MainField& f : AllMainFields()) {
        for (int e = 0; e < f.count; ++e) {
            image.SetInt(f, e, RandomSlot(f, rng));
        }
    }
    // Each microphone is on exactly one channel, and the shifter's off flag follows its
    // frequency, as the setters keep them.
    for (int k = 0; k < micToChannelA.count; ++k) {
        image.SetInt(micToChannelB, k, 100 - image.Int(micToChannelA, k));
    }
    for (int ch = 0; ch < 2; ++ch) {
        const auto& freq = ch == 0 ? micShiftFreqA : micShiftFreqB;
        image.SetInt(ch == 0 ? micShiftOffA : micShiftOffB, image.Int(freq) == 1 ? 1 : 0);
    }
    image.WriteBlock(Block::System, 0, RandomBytes(kSystemBlockSize, rng));
    for (int c = 0; c < kOutputChannels; ++c) {
        image.SetExtensionTrim(c, std::uniform_real_distribution<float>(-12.0f, 12.0f)(rng));
    }
    image.WriteBlock(Block::Routing, 0, RandomBytes(kRoutingBlockSize, rng));
    image.SetTailValue(static_cast<float>(std::uniform_int_distribution<int>(-20, 0)(rng)));
}

void ExpectedAfterWriteAll(const ParamImage& sent, bool volumesSent, int micVolume, int musicVolume,
                           ParamImage& expected) {
    expected.InitDefaults();
    expected.SetMainBlock(sent.MainBlock());
    for (Block b : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        expected.WriteBlock(b, 0, sent.BlockBytes(b));
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        const int group = 5 + c;
        const int freq = static_cast<int>(sent.ReadBand(group, kCrossoverLowBand).freqHz);
        const int f = freq >= 500 && freq <= 3000 && freq % 100 == 0 ? freq : 500;
        const bool highFrequency = sent.Int(outDelayMode, c) == 0;
        expected.WriteBand(group, kCrossoverLowBand, 0.0, f, 0.707f,
                           highFrequency ? kFilterHighPass : kFilterPeq);
        expected.WriteBand(group, kCrossoverHighBand, 0.0, f + 500, 0.707f,
                           highFrequency ? kFilterLowPass : kFilterPeq);
    }
    auto routing = sent.BlockBytes(Block::Routing);
    for (std::size_t i = 2; i < routing.size(); ++i) {
        if (routing[i] == 0) {
            routing[i] = 0x80;
        }
    }
    expected.WriteBlock(Block::Routing, 0, routing);
    expected.SetInt(micBassBoostOnCopy, sent.Int(micBassBoostOn));
    if (!volumesSent) {
        expected.SetInt(fields::micVolume, micVolume);
        expected.SetInt(fields::musicVolume, musicVolume);
    }
}

void ExpectReadBackMatches(const ParamImage& sent, const ParamImage& got) {
    for (const MainField& f : AllMainFields()) {
        for (int e = 0; e < f.count; ++e) {
            const Expected want = AfterReadBack(f, e, sent);
            const std::int32_t bits = got.Int(f, e);
            if (want.tolerance == 0) {
                EXPECT_EQ(bits, want.bits) << f.name << "[" << e << "]";
            } else {
                EXPECT_NEAR(std::bit_cast<float>(bits), std::bit_cast<float>(want.bits),
                            want.tolerance)
                    << f.name << "[" << e << "]";
            }
        }
    }
    for (Block b : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        EXPECT_EQ(got.BlockBytes(b), sent.BlockBytes(b)) << "block " << static_cast<int>(b);
    }
}

} // namespace kv::test
