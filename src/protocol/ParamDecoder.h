#pragma once

#include <cstdint>
#include <span>

namespace kv {

class ParamImage;

/// Stores a value reported by the processor (report 10 or a stored parameter record) in
/// the image field that (module, item) addresses, converted to the image's encoding.
/// `values` holds the record's 4-byte values, the first one at its start; a record shorter
/// than its parameter needs is ignored. Unknown modules and items change nothing.
void DecodeParam(ParamImage& image, std::uint8_t module, std::uint8_t item,
                 std::span<const std::uint8_t> values);

} // namespace kv
