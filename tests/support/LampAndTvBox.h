#pragma once

#include "image/ParamImage.h"
#include "sim/Simulator.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveNodes.h"

namespace kv::test {

/// The network of the kvctl Z-Wave tests, first half: a switch (node 2) and a smart plug
/// (node 3) join the simulated network.
inline void JoinLampAndTvBox(sim::Simulator& simulator) {
    simulator.WithZWave([](sim::ZWaveNetwork& n) {
        n.Join(sim::ZWaveDeviceKind::Switch);
        return n.Join(sim::ZWaveDeviceKind::Plug);
    });
}

/// Second half, once connected: their device records "Lamp" and "TV box" go into the image
/// and the processor's memory.
inline void RecordLampAndTvBox() {
    ParamImage& image = GetParamImage();
    zwave::StoreDeviceRecord(image, 2, {zwave::kSwitchType, u"Lamp"});
    zwave::StoreDeviceRecord(image, 3, {zwave::kSwitchType, u"TV box"});
    WriteDeviceRecord(2);
    WriteDeviceRecord(3);
}

} // namespace kv::test
