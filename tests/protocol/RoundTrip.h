#pragma once

#include <random>

namespace kv {
class ParamImage;
}

/// Images for round trips through a processor, and what the processor gives back of them.
namespace kv::test {

/// Every named field at a random value in the range the pages allow (respecting every
/// minimum), random band records, trims, room geometry and bass enhancement level.
void FillRandomImage(ParamImage& image, std::mt19937& rng);

/// The image a processor holds after a write-all of sent: the delay crossover bands of each
/// channel reprogrammed for its mode, the room geometry packed again (a zero coordinate
/// becomes 0x80), the bass enhancement switch copied. The master microphone and music
/// volumes are sent only when the machine settings keep volumes with the modes; otherwise
/// the processor keeps its own (micVolume, musicVolume).
void ExpectedAfterWriteAll(const ParamImage& sent, bool volumesSent, int micVolume, int musicVolume,
                           ParamImage& expected);

/// Compares, field by field, an image read back from a processor with the image the processor
/// was given: exact, except the exciter values (the decoder's 0.005 rounding), ratios and time
/// constants (sent as coefficients) and the fields the processor does not store. The store
/// blocks must match byte for byte.
void ExpectReadBackMatches(const ParamImage& sent, const ParamImage& got);

} // namespace kv::test
