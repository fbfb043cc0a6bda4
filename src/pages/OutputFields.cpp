#include "pages/OutputFields.h"

#include "image/DisplayFormat.h"
#include "image/FieldLimits.h"
#include "image/ParamImage.h"
#include "pages/EditHistory.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/DelayOperations.h"
#include "protocol/ParamTable.h"
#include "shell/AppState.h"
#include "shell/CMainFrame.h"

#include <QDebug>

#include <algorithm>
#include <array>
#include <cmath>

namespace kv {

namespace {

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

struct Compressor {
    float threshold;
    float ratio;
    float attack;
    float release;
};

constexpr std::array<const MainField*, 4> kCompressorFields = {
    &fields::outCompThreshold, &fields::outCompRatio, &fields::outCompAttack,
    &fields::outCompRelease};

/// The stored value of a field entry, limited to its range (a bad value from a file or the
/// processor is never sent on as it stands).
float Limited(const MainField& field, int channel) {
    const double v = GetParamImage().Float(field, channel);
    const FieldLimits* limits = FindFieldLimits(field);
    if (!limits) {
        return static_cast<float>(v);
    }
    const FieldRange& r = limits->Range(channel);
    return static_cast<float>(std::isfinite(v) ? std::clamp(v, r.min, r.max) : r.min);
}

Compressor StoredCompressor(int channel, const MainField& moved, double value) {
    std::array<float, 4> v{};
    for (std::size_t i = 0; i < kCompressorFields.size(); ++i) {
        v[i] = kCompressorFields[i]->slot == moved.slot ? static_cast<float>(value)
                                                        : Limited(*kCompressorFields[i], channel);
    }
    return {v[0], v[1], std::trunc(v[2]), std::trunc(v[3])};
}

void SendCompressor(int channel, const Compressor& c) {
    SetCompressor(channel, c.threshold, c.ratio, c.attack, c.release);
}

bool SameDelay(int channel, double ms) {
    return GetParamImage().Float(fields::outDelay, channel) == static_cast<float>(ms);
}

} // namespace

QString ThresholdText(double db, int) {
    return FromStd(fmt::Db(db));
}

QString RatioText(double ratio, int) {
    return FromStd(fmt::Ratio(ratio));
}

QString TimeText(double ms, int) {
    return FromStd(fmt::Ms(ms));
}

QString DelayText(double ms, int) {
    return FromStd(fmt::DelayMs(ms));
}

QString PercentText(double value, int) {
    return FromStd(fmt::Percent(static_cast<int>(value)));
}

LinkFlags CurrentLinkFlags() {
    const OptionRecord& o = GetAppState().option;
    return {o[0], o[1], o[2]};
}

void StoreLinkFlag(int pair, bool linked) {
    if (pair < 0 || pair >= static_cast<int>(kLinkPairs.size())) {
        return;
    }
    OptionRecord& o = GetAppState().option;
    o[static_cast<std::size_t>(pair)] = linked ? 1 : 0;
    if (CMainFrame* frame = CMainFrame::Instance()) {
        frame->Settings().SetQtOption(o);
        frame->Settings().Sync();
    } else {
        qDebug("option record not saved: no main window");
    }
}

void SetCompressorField(const MainField& field, int channel, double value) {
    SendCompressor(channel, StoredCompressor(channel, field, value));
}

void SetLinkedCompressorField(const MainField& field, int channel, double value) {
    const Compressor c = StoredCompressor(channel, field, value);
    for (int i : GetLinkedChannels(channel, CurrentLinkFlags())) {
        SendCompressor(i, c);
    }
}

void SetLinkedField(const MainField& field, int channel, double value) {
    for (int i : GetLinkedChannels(channel, CurrentLinkFlags())) {
        StoreAndSend(field, i, value);
    }
}

void SetDelayField(const MainField&, int channel, double ms) {
    if (!SameDelay(channel, ms)) {
        SetChannelDelay(channel, static_cast<float>(ms));
    }
}

void SetLinkedDelay(const MainField&, int channel, double ms) {
    if (SameDelay(channel, ms)) {
        return;
    }
    for (int i : GetLinkedChannels(channel, CurrentLinkFlags())) {
        SetChannelDelay(i, static_cast<float>(ms));
    }
}

void SetDelayModeField(const MainField&, int channel, double mode) {
    SetChannelDelayMode(channel, mode != 0 ? 1 : 0);
}

void SetLinkedDelayMode(const MainField&, int channel, double mode) {
    for (int i : GetLinkedChannels(channel, CurrentLinkFlags())) {
        SetChannelDelayMode(i, mode != 0 ? 1 : 0);
    }
}

void EditDelayCrossover(int channel, int k) {
    const ParamImage& image = GetParamImage();
    const int group = channel + kFirstOutputModule;
    const EqBand low = image.ReadBand(group, kCrossoverLowBand);
    const EqBand high = image.ReadBand(group, kCrossoverHighBand);
    const EditScope scope;
    SetDelayCrossover(channel, k);
    RecordBandChange({group, kCrossoverLowBand, low, image.ReadBand(group, kCrossoverLowBand)});
    RecordBandChange({group, kCrossoverHighBand, high, image.ReadBand(group, kCrossoverHighBand)});
}

} // namespace kv
