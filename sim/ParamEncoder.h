#pragma once

#include <cstdint>
#include <vector>

namespace kv {
class ParamImage;
}

/// The processor side of the parameter addressing: which (module, item) it knows with how
/// many values, and the values an image's fields stand for on the wire.
namespace kv::sim {

/// Values per command of a known parameter; 0 when the processor has no such parameter.
int KnownValueCount(int module, int item);

/// The 4 x count value bytes of (module, item) for the image's fields, as the application
/// sends them. Equaliser biquads, which the application computes and the store does not
/// keep, are zero; so are the reserved records.
std::vector<std::uint8_t> EncodeFromImage(const ParamImage& image, int module, int item, int count);

} // namespace kv::sim
