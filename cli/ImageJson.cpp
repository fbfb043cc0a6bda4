#include "ImageJson.h"

#include "image/ParamImage.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kv::cli {

namespace {

constexpr const char* kSpeakerNames[8] = {"L", "CEN", "R", "SBL", "SUB", "SBR", "SL", "SR"};

nlohmann::ordered_json SlotJson(const ParamImage& image, const MainField& field, int entry) {
    if (field.IsFloat()) {
        return FloatJson(image.Float(field, entry));
    }
    return image.Int(field, entry);
}

nlohmann::ordered_json Point(float x, float y) {
    return nlohmann::ordered_json{{"x", FloatJson(x)}, {"y", FloatJson(y)}};
}

} // namespace

nlohmann::ordered_json FloatJson(float value) {
    if (!std::isfinite(value)) {
        return nullptr; // JSON has no NaN or infinity
    }
    char buffer[32];
    const auto res = std::to_chars(buffer, buffer + sizeof buffer, value);
    *res.ptr = '\0';
    return std::strtod(buffer, nullptr);
}

nlohmann::ordered_json ImageToJson(const ParamImage& image) {
    nlohmann::ordered_json main = nlohmann::ordered_json::object();
    for (const MainField& field : AllMainFields()) {
        if (field.count == 1) {
            main[std::string(field.name)] = SlotJson(image, field, 0);
            continue;
        }
        auto entries = nlohmann::ordered_json::array();
        for (int e = 0; e < field.count; ++e) {
            entries.push_back(SlotJson(image, field, e));
        }
        main[std::string(field.name)] = std::move(entries);
    }

    auto bands = nlohmann::ordered_json::array();
    for (int r = 0; r < kBandRecords; ++r) {
        const EqBand b = image.ReadRecord(r);
        bands.push_back({{"record", r},
                         {"gainDb", b.gainDb},
                         {"freqHz", static_cast<int>(b.freqHz)},
                         {"q", b.q},
                         {"type", b.type}});
    }

    auto trims = nlohmann::ordered_json::array();
    for (int ch = 0; ch < kOutputChannels; ++ch) {
        trims.push_back(FloatJson(image.ExtensionTrim(ch)));
    }

    const RoomGeometry g = image.Geometry();
    auto speakers = nlohmann::ordered_json::object();
    for (std::size_t k = 0; k < 8; ++k) {
        speakers[kSpeakerNames[k]] = Point(g.speakerX[k], g.speakerY[k]);
    }
    nlohmann::ordered_json routing = {
        {"bytes", image.BlockBytes(Block::Routing)},
        {"geometry",
         {{"width", g.width},
          {"length", g.length},
          {"listener", Point(g.listenerX, g.listenerY)},
          {"speakers", std::move(speakers)}}},
    };

    nlohmann::ordered_json json;
    json["main"] = std::move(main);
    json["bands"] = std::move(bands);
    json["extension"] = std::move(trims);
    json["routing"] = std::move(routing);
    json["tail"] = image.BlockBytes(Block::Tail);
    return json;
}

} // namespace kv::cli
