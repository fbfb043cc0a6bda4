#pragma once

#include <optional>

/// Equaliser band writes, resets, copies and the send of every band. Groups and bands follow
/// the band table of the image; kinds are the equalisers as the curve panel shows them.
namespace kv {

/// The (module, item) of a band's biquad command.
struct BandCommand {
    int module;
    int item;
};

/// The command of band b of group g, or nothing when the group has no such band (group 1
/// has 20 bands, 2 and 3 have 14, 4 has 10, 5..12 have 15, 14 has one; 0 and 13 stand for 1).
std::optional<BandCommand> EqBandCommand(int group, int band);

/// Stores the band record, writes its 7 bytes into the store and sends its biquad. Returns
/// false (and changes nothing) when the group has no such band.
bool WriteEqBand(int group, int band, double gainDb, double freqHz, double q, int type,
                 double extraDb = 0.0);
/// Sends the biquad of the band as stored in the image, without a store write.
bool SendEqBand(int group, int band);
/// The biquads of every band: mic (20), echo (14), reverb (14), music (10), outputs bands
/// 0..12, music bass low-pass.
void SendAllEqBands();

inline constexpr int kEqKinds = 15;

/// An equaliser kind: 0 mic A, 1 mic B, 2 reverb A, 3 reverb B, 4 echo A, 5 echo B, 6 music,
/// 7..14 output CH1..CH8.
struct EqKindBands {
    int group;
    int firstBand;
    int bands;
};
std::optional<EqKindBands> EqKind(int kind);

/// Flat bands at the kind's default frequencies, gain 0, Q 1.41 (a subwoofer channel gets
/// its crossover bands 9..12); output bands 13 and 14 are left alone.
void ResetEq(int kind);
/// Copies the band records of one kind onto another and re-sends the destination.
void CopyEq(int sourceKind, int destinationKind);

} // namespace kv
