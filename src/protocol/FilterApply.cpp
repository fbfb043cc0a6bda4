#include "protocol/FilterApply.h"

#include "image/FieldLimits.h"
#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamSenders.h"

namespace kv {

namespace {

int OutputChannel(int kind) {
    return kind - kFirstOutputEqKind;
}

bool IsOutput(int kind) {
    return kind >= kFirstOutputEqKind && kind < kFirstOutputEqKind + kOutputChannels;
}

} // namespace

ImportTarget ImportTargetFromImage(const ParamImage& image, int kind) {
    ImportTarget target;
    const auto k = EqKind(kind);
    if (!k) {
        return target;
    }
    target.kind = kind;
    for (int b = 0; b < k->bands; ++b) {
        target.bands.push_back(image.ReadBand(k->group, k->firstBand + b));
    }
    if (IsOutput(kind)) {
        const int c = OutputChannel(kind);
        target.role = image.Int(fields::outRole, c);
        target.gainPercent = image.Int(fields::outGain, c);
        if (const auto* limits = FindFieldLimits(fields::outGain)) {
            target.gainMaxPercent = static_cast<int>(limits->Range(c).max);
        }
    }
    return target;
}

void StorePlan(ParamImage& image, const ImportPlan& plan) {
    const auto k = EqKind(plan.kind);
    if (!k) {
        return;
    }
    for (int b : plan.ChangedBands()) {
        const EqBand& band = plan.after[static_cast<std::size_t>(b)];
        image.WriteBand(k->group, k->firstBand + b, band.gainDb, band.freqHz, band.q, band.type);
    }
    if (plan.gainAfter && plan.gainAfter != plan.gainBefore && IsOutput(plan.kind)) {
        image.SetInt(fields::outGain, OutputChannel(plan.kind), *plan.gainAfter);
    }
}

void SendPlan(const ImportPlan& plan) {
    const auto k = EqKind(plan.kind);
    if (!k) {
        return;
    }
    for (int b : plan.ChangedBands()) {
        const EqBand& band = plan.after[static_cast<std::size_t>(b)];
        WriteEqBand(k->group, k->firstBand + b, band.gainDb, band.freqHz, band.q, band.type);
    }
    if (plan.gainAfter && plan.gainAfter != plan.gainBefore && IsOutput(plan.kind)) {
        SetParam(fields::outGain, OutputChannel(plan.kind), *plan.gainAfter);
    }
}

} // namespace kv
