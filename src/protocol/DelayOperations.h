#pragma once

/// Delay of the output channels, shared by the delay page, the output page and the write-all.
/// Channels are 0..7 (module channel + 5).
namespace kv {

inline constexpr float kMinChannelDelayMs = 1.5f;
inline constexpr int kCrossoverSteps = 26; ///< crossover index 0..25
inline constexpr int kCrossoverLowBand = 13;
inline constexpr int kCrossoverHighBand = 14;

/// Stores the delay (raised to at least 1.5 ms) and sends it as samples on (m, 18).
void SetChannelDelay(int channel, float ms);
/// Stores the delay switch (0 = on) and sends it on (m, 19).
void SetChannelDelayOff(int channel, int off);
/// Stores the mode (0 high-frequency delay, 1 channel delay), sends (m, 17) and reprograms
/// the crossover bands for the new mode at the current crossover index.
void SetChannelDelayMode(int channel, int mode);
/// Programs bands 13 and 14 for crossover index k (limited to 0..25): high-pass at f and
/// low-pass at f + 500 Hz in mode 0, flat peaking bands in mode 1, f = 500 + 100 k.
void SetDelayCrossover(int channel, int k);
/// The crossover index whose frequency equals band 13's, or 0 when none does.
int GetDelayCrossoverIndex(int channel);
/// The lower crossover frequency of index k (500 + 100 k).
constexpr int CrossoverFrequency(int k) {
    return 500 + 100 * k;
}

} // namespace kv
