#pragma once

// Shared by the fuzz targets: a failed invariant aborts with its text, so that libFuzzer
// (or the replay runner) reports the input that broke it.

#include "image/ParamImage.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kv::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            ::kv::fuzz::Fail(#condition, __FILE__, __LINE__);                                  \
        }                                                                                      \
    } while (0)

inline constexpr Block kAllBlocks[] = {Block::System,   Block::Extension, Block::Routing,
                                       Block::Tail,     Block::ReadBack,  Block::Hub,
                                       Block::DeviceTable, Block::SceneTable};

/// Everything of an image that a parser may change, to compare before and after.
struct ImageState {
    std::array<std::uint8_t, kMainBlockSize> main{};
    std::vector<std::vector<std::uint8_t>> blocks;
    std::array<std::u16string, kModes> modeNames;
    std::u16string model, dsp, mcu;
    RoomGeometry geometry;

    explicit ImageState(const ParamImage& image)
        : main(image.MainBlock()), model(image.Model()), dsp(image.DspVersion()),
          mcu(image.McuVersion()), geometry(image.Geometry()) {
        for (Block b : kAllBlocks) {
            blocks.push_back(image.BlockBytes(b));
        }
        for (int m = 0; m < kModes; ++m) {
            modeNames[static_cast<std::size_t>(m)] = image.ModeName(m);
        }
    }
    const std::vector<std::uint8_t>& Bytes(Block b) const {
        return blocks[static_cast<std::size_t>(b)];
    }
};

/// Geometries compared bit for bit (a NaN equals itself).
inline bool SameGeometry(const RoomGeometry& a, const RoomGeometry& b) {
    auto bits = [](const RoomGeometry& g) {
        std::vector<std::uint8_t> v(sizeof(int) * 2 + sizeof(float) * 18);
        std::size_t at = 0;
        auto put = [&](const void* p, std::size_t n) {
            std::memcpy(v.data() + at, p, n);
            at += n;
        };
        put(&g.width, sizeof g.width);
        put(&g.length, sizeof g.length);
        put(&g.listenerX, sizeof(float));
        put(&g.listenerY, sizeof(float));
        put(g.speakerX.data(), sizeof(float) * 8);
        put(g.speakerY.data(), sizeof(float) * 8);
        return v;
    };
    return bits(a) == bits(b);
}

/// The geometry the routing bytes give when written into a fresh image.
inline RoomGeometry GeometryOf(const std::vector<std::uint8_t>& routing) {
    ParamImage scratch;
    scratch.WriteBlock(Block::Routing, 0, routing);
    return scratch.Geometry();
}

} // namespace kv::fuzz
