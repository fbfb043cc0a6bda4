#pragma once

#include <array>

/// The coefficient records the processor runs on: dynamics, level pairs, biquad sections,
/// and the setters that store their settings and send them.
namespace kv {

inline constexpr int kDynamicsValues = 7;
inline constexpr int kLevelPairValues = 6;
inline constexpr int kBiquadValues = 5;

using DynamicsRecord = std::array<float, kDynamicsValues>;
using LevelPairRecord = std::array<float, kLevelPairValues>;
/// -a1, -a2, b0, b1, b2 as sent.
using BiquadRecord = std::array<float, kBiquadValues>;

/// Threshold (dB), 0.0, 1 - 1 / ratio, 20.0, 0.05, attack and release coefficients. A ratio
/// below 1 is encoded as ratio 1 and a threshold that is not a finite number as 0 dB, so the
/// record never carries a non-finite value.
DynamicsRecord BuildDynamicsRecord(float thresholdDb, float ratio, float attackMs, float releaseMs);

enum class LevelPairKind {
    PositionTrim, ///< output channel positioning trim (m, 29)
    BassBoost,    ///< microphone bass enhancement (1, 38) and (1, 61)
};

/// g1, g2, the two constants of the kind, g1, g2 for a level of db. A level that is not a
/// finite number counts as 0 dB; levels are limited to +-200 dB so every value stays finite.
LevelPairRecord BuildLevelPair(float db, LevelPairKind kind);

/// The band command values of a designed section. A section that would not be finite (a band
/// with Q 0, or a degenerate design) is sent as a unity pass-through: 0, 0, 1, 0, 0.
BiquadRecord BiquadValues(int type, double gainDb, double freqHz, double q, double extraDb = 0.0);

/// Stores the compressor of output channel c (0..7) and sends its record on (c + 5, 27).
void SetCompressor(int channel, float thresholdDb, float ratio, float attackMs, float releaseMs);
/// Stores the music input level control and sends its record on (4, 14).
void SetMusicInputLimiter(float thresholdDb, float ratio, float attackMs, float releaseMs);
/// Stores the positioning trim of channel c, writes the extension block into the store and
/// sends the level pair on (c + 5, 29).
void SetPositionTrim(int channel, float db);
/// Stores the microphone bass enhancement level in the tail block, writes it into the store
/// and sends both channels' coefficients in the order that keeps the level change smooth.
void SetMicBassBoostLevel(float db);
/// Zero trims for every channel, then the default room geometry written into the store.
void ResetPositioning();

} // namespace kv
