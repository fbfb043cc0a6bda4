#pragma once

#include "image/EqBand.h"

#include <QMetaType>

#include <array>
#include <cstdint>

namespace kv {

/// Number of plot frequencies at which a band's response is held.
inline constexpr int kEqResponsePoints = 512;

/// One band of the equaliser curve panel: its settings (in float, as the panel edits
/// them), its handle, limits and response. This is what the panel hands to its host with
/// every band notification.
struct EqPanelBand : BasicEqBand<float> {
    EqPanelBand() : BasicEqBand<float>{0.0f, 100.0f, 1.0f, kFilterPeq} {}

    std::int32_t handleX = 0; ///< handle centre in plot pixels, refreshed when drawn
    std::int32_t handleY = 0;
    std::int32_t index = 0;                          ///< band number inside the group, 0-based
    std::array<float, kEqResponsePoints> response{}; ///< dB at the 512 plot frequencies
    float freqMin = 20.0f;
    float freqMax = 20000.0f;
    float gainMin = -15.0f;
    float gainMax = 15.0f;
};

} // namespace kv

Q_DECLARE_METATYPE(kv::EqPanelBand)
