#include "protocol/DelayOperations.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamSenders.h"

#include <algorithm>

namespace kv {

namespace {

constexpr int kCrossoverWidthHz = 500;

bool ValidChannel(int channel) {
    return channel >= 0 && channel < kOutputChannels;
}

int OutputModule(int channel) {
    return kFirstOutputModule + channel;
}

} // namespace

void SetChannelDelay(int channel, float ms) {
    if (!ValidChannel(channel)) {
        return;
    }
    GetParamImage().SetFloat(fields::outDelay, channel, ms);
    SendStoredParam(OutputModule(channel), 18); // raises it to the minimum and stores it back
}

void SetChannelDelayOff(int channel, int off) {
    if (!ValidChannel(channel)) {
        return;
    }
    GetParamImage().SetInt(fields::outDelayOff, channel, off);
    SendStoredParam(OutputModule(channel), 19);
}

void SetChannelDelayMode(int channel, int mode) {
    if (!ValidChannel(channel)) {
        return;
    }
    GetParamImage().SetInt(fields::outDelayMode, channel, mode);
    SendStoredParam(OutputModule(channel), 17);
    SetDelayCrossover(channel, GetDelayCrossoverIndex(channel));
}

void SetDelayCrossover(int channel, int k) {
    if (!ValidChannel(channel)) {
        return;
    }
    const int f = CrossoverFrequency(std::clamp(k, 0, kCrossoverSteps - 1));
    const bool highFrequencyDelay = GetParamImage().Int(fields::outDelayMode, channel) == 0;
    const int group = OutputModule(channel);
    WriteEqBand(group, kCrossoverLowBand, 0.0, f, kQCrossover,
                highFrequencyDelay ? kFilterHighPass : kFilterPeq);
    WriteEqBand(group, kCrossoverHighBand, 0.0, f + kCrossoverWidthHz, kQCrossover,
                highFrequencyDelay ? kFilterLowPass : kFilterPeq);
}

int GetDelayCrossoverIndex(int channel) {
    if (!ValidChannel(channel)) {
        return 0;
    }
    const int f =
        TruncToInt32(GetParamImage().ReadBand(OutputModule(channel), kCrossoverLowBand).freqHz);
    for (int k = 0; k < kCrossoverSteps; ++k) {
        if (CrossoverFrequency(k) == f) {
            return k;
        }
    }
    return 0;
}

} // namespace kv
