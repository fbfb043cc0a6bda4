#include "protocol/CoefficientEncoders.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/BiquadDesigner.h"
#include "protocol/CommandSink.h"
#include "protocol/ParamSenders.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace kv {

namespace {

constexpr float kDynamicsKnee = 20.0f;
constexpr float kDynamicsStep = 0.05f;

// The fixed filter pair of each level pair record, as bit patterns.
constexpr std::uint32_t kTrimC2 = 0x3F7EFF25;
constexpr std::uint32_t kTrimC3 = 0xBFFF7EF1;
constexpr std::uint32_t kBassC2 = 0x3F7D554A;
constexpr std::uint32_t kBassC3 = 0xBFFEA8DC;

// The second gain of a level pair follows y = x^2 * a + x * b (dB).
constexpr float kLevelSquare = 0.0022594517f;
constexpr float kLevelLinear = 0.799902f;
constexpr float kLevelLimitDb = 200.0f;

constexpr int kMicModule = 1;
constexpr int kMusicModule = 4;
constexpr int kCompressorItem = 27;
constexpr int kLimiterItem = 14;
constexpr int kTrimItem = 29;
constexpr int kExtensionAddress = 1253;
constexpr int kRoutingAddress = 1285;
constexpr int kTailAddress = 1305;

/// Bass enhancement items of channel A; channel B's are these plus 23.
constexpr int kBassInverseItem = 35;
constexpr int kBassGainItem = 36;
constexpr int kBassRecordItem = 38;
constexpr int kChannelBOffset = 23;

/// A level that can be turned into finite gains: NaN counts as 0 dB, the rest is limited.
float UsableLevel(float db) {
    if (std::isnan(db)) {
        return 0.0f;
    }
    return std::clamp(db, -kLevelLimitDb, kLevelLimitDb);
}

/// Types whose design divides by the band's own Q.
bool UsesBandQ(int type) {
    return type <= kFilterHighShelf || type > kFilterLastType;
}

/// The three bass enhancement commands of a channel.
enum class BassValue { Inverse, Record, Gain };

void SendBassBoost(const LevelPairRecord& record, float gain, float inverse, bool rising) {
    constexpr BassValue kRising[3] = {BassValue::Inverse, BassValue::Record, BassValue::Gain};
    constexpr BassValue kFalling[3] = {BassValue::Record, BassValue::Gain, BassValue::Inverse};
    // Channel B first, then channel A, each in the same order.
    for (int offset : {kChannelBOffset, 0}) {
        for (BassValue v : rising ? kRising : kFalling) {
            switch (v) {
            case BassValue::Inverse:
                SendParam(kMicModule, kBassInverseItem + offset, inverse);
                break;
            case BassValue::Record:
                SendParamValues(kMicModule, kBassRecordItem + offset, record);
                break;
            case BassValue::Gain:
                SendParam(kMicModule, kBassGainItem + offset, gain);
                break;
            }
        }
    }
}

} // namespace

DynamicsRecord BuildDynamicsRecord(float thresholdDb, float ratio, float attackMs,
                                   float releaseMs) {
    return {std::isfinite(thresholdDb) ? thresholdDb : 0.0f,
            0.0f,
            RatioToCoef(ratio),
            kDynamicsKnee,
            kDynamicsStep,
            TimeToCoef(attackMs),
            TimeToCoef(releaseMs)};
}

LevelPairRecord BuildLevelPair(float db, LevelPairKind kind) {
    const float x = UsableLevel(db);
    const float g1 = static_cast<float>(std::pow(10.0, x / 20.0));
    const float square = x * x;
    const float squareTerm = square * kLevelSquare;
    const float linearTerm = x * kLevelLinear;
    const float y = squareTerm + linearTerm;
    const float g2 = static_cast<float>(std::pow(10.0, y / 20.0));
    const bool trim = kind == LevelPairKind::PositionTrim;
    const float c2 = std::bit_cast<float>(trim ? kTrimC2 : kBassC2);
    const float c3 = std::bit_cast<float>(trim ? kTrimC3 : kBassC3);
    return {g1, g2, c2, c3, g1, g2};
}

BiquadRecord BiquadValues(int type, double gainDb, double freqHz, double q, double extraDb) {
    constexpr BiquadRecord kPassThrough = {0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    if (UsesBandQ(type) && !(q != 0.0)) {
        return kPassThrough;
    }
    const Biquad s = DesignBiquad(type, gainDb, freqHz, q, extraDb, kDesignSampleRate);
    const double values[kBiquadValues] = {-s.a1, -s.a2, s.b0, s.b1, s.b2};
    BiquadRecord record{};
    for (int i = 0; i < kBiquadValues; ++i) {
        // A single out of range would become infinite: check before converting.
        if (!std::isfinite(values[i]) || std::fabs(values[i]) > 3.0e38) {
            return kPassThrough;
        }
        record[static_cast<std::size_t>(i)] = static_cast<float>(values[i]);
    }
    return record;
}

void SetCompressor(int channel, float thresholdDb, float ratio, float attackMs, float releaseMs) {
    if (channel < 0 || channel >= kOutputChannels) {
        return;
    }
    ParamImage& image = GetParamImage();
    image.SetFloat(fields::outCompThreshold, channel, thresholdDb);
    image.SetFloat(fields::outCompRatio, channel, ratio);
    image.SetFloat(fields::outCompAttack, channel, attackMs);
    image.SetFloat(fields::outCompRelease, channel, releaseMs);
    SendStoredParam(kFirstOutputModule + channel, kCompressorItem);
}

void SetMusicInputLimiter(float thresholdDb, float ratio, float attackMs, float releaseMs) {
    ParamImage& image = GetParamImage();
    const float values[4] = {thresholdDb, ratio, attackMs, releaseMs};
    for (int i = 0; i < 4; ++i) {
        image.SetFloat(fields::musicInputLimiter, i, values[i]);
    }
    SendStoredParam(kMusicModule, kLimiterItem);
}

void SetPositionTrim(int channel, float db) {
    if (channel < 0 || channel >= kOutputChannels) {
        return;
    }
    ParamImage& image = GetParamImage();
    image.SetExtensionTrim(channel, db);
    CommandSink().WriteStore(kExtensionAddress, image.BlockBytes(Block::Extension));
    SendParamValues(kFirstOutputModule + channel, kTrimItem,
                    BuildLevelPair(db, LevelPairKind::PositionTrim));
}

void SetMicBassBoostLevel(float db) {
    ParamImage& image = GetParamImage();
    image.SetTailValue(db);
    CommandSink().WriteStore(kTailAddress, image.BlockBytes(Block::Tail));
    const float x = UsableLevel(db);
    const LevelPairRecord record = BuildLevelPair(x, LevelPairKind::BassBoost);
    const double g = std::pow(10.0, x / 20.0);
    const float a = static_cast<float>(g);
    const float b = static_cast<float>(1.0 / g);
    SendBassBoost(record, a, b, x > image.PreviousBassLevel());
    image.SetPreviousBassLevel(x);
}

void ResetPositioning() {
    for (int c = 0; c < kOutputChannels; ++c) {
        SetPositionTrim(c, 0.0f);
    }
    ParamImage& image = GetParamImage();
    image.WriteBlock(Block::Routing, 0, kDefaultRouting);
    image.PackRouting();
    CommandSink().WriteStore(kRoutingAddress, image.BlockBytes(Block::Routing));
}

} // namespace kv
