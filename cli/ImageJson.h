#pragma once

#include <nlohmann/json.hpp>

namespace kv {
class ParamImage;
}

namespace kv::cli {

/// The image as JSON: every named main-block field (arrays for per-channel and
/// per-microphone fields), the 179 band records, the extension trims, the routing block with
/// its derived geometry and the tail block.
nlohmann::ordered_json ImageToJson(const ParamImage& image);

/// A single as the shortest decimal that reads back as the same single.
nlohmann::ordered_json FloatJson(float value);

} // namespace kv::cli
