#include "pages/EditHistory.h"

#include "image/Encodings.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamSenders.h"

#include <QPointer>
#include <QUndoStack>

#include <cmath>
#include <optional>

namespace kv {

namespace {

constexpr int kMergeableStep = 0x4B56;

struct History {
    QPointer<QUndoStack> stack;
    std::function<void()> afterApply;
    int applying = 0;
    int gesture = 0;
    int nextGesture = 1;
    int scopeDepth = 0;
    std::vector<FieldChange> pendingFields;
    std::vector<BandChange> pendingBands;
};

History& TheHistory() {
    static History history;
    return history;
}

void ApplyField(const FieldChange& c, double value) {
    (c.setter ? c.setter : &StoreAndSend)(*c.field, c.entry, value);
}

void ApplyBand(const BandChange& c, const EqBand& r) {
    WriteEqBand(c.group, c.band, r.gainDb, r.freqHz, r.q, r.type);
}

bool SameBand(const EqBand& a, const EqBand& b) {
    return a.gainDb == b.gainDb && a.freqHz == b.freqHz && a.q == b.q && a.type == b.type;
}

void Push(std::vector<FieldChange> fields, std::vector<BandChange> bands) {
    History& h = TheHistory();
    if (!h.stack || (fields.empty() && bands.empty())) {
        return;
    }
    h.stack->push(new EditStep(std::move(fields), std::move(bands), h.gesture));
}

/// Runs fn with the history marked as applying, then lets the windows catch up.
template <typename Fn>
void Applying(Fn fn) {
    History& h = TheHistory();
    ++h.applying;
    fn();
    --h.applying;
    if (h.afterApply) {
        h.afterApply();
    }
}

} // namespace

double ReadFieldValue(const MainField& field, int entry) {
    const ParamImage& image = GetParamImage();
    if (field.IsFloat()) {
        return image.Float(field, entry);
    }
    const std::int32_t v = image.Int(field, entry);
    return field.encoding == SlotEncoding::X100Flag ? (v != 0 ? 1.0 : 0.0) : v;
}

void StoreAndSend(const MainField& field, int entry, double value) {
    if (field.IsFloat()) {
        SetParamFloat(field, entry, static_cast<float>(value));
    } else if (field.encoding == SlotEncoding::X100Flag) {
        SetParam(field, entry, value != 0 ? 100 : 0);
    } else {
        SetParam(field, entry, static_cast<std::int32_t>(std::lround(value)));
    }
}

void StoreAndSendLevel(const MainField& field, int entry, double value) {
    const auto v = static_cast<std::int32_t>(std::lround(value));
    GetParamImage().SetInt(field, entry, v);
    const int slot = field.SlotOf(entry);
    for (const ParamRow& row : ParamRows()) {
        if (row.field->SlotOf(row.entry) != slot) {
            continue;
        }
        const double sent = row.wire == Wire::X10000 ? v / 10000.0 : VolumeWithOffset(v);
        SendParam(row.module, row.item, static_cast<float>(sent), row.count);
    }
}

EditStep::EditStep(std::vector<FieldChange> fields, std::vector<BandChange> bands, int gesture)
    : m_fields(std::move(fields)), m_bands(std::move(bands)), m_gesture(gesture) {}

void EditStep::undo() {
    Applying([this] {
        for (auto it = m_bands.rbegin(); it != m_bands.rend(); ++it) {
            ApplyBand(*it, it->before);
        }
        for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
            ApplyField(*it, it->before);
        }
    });
}

void EditStep::redo() {
    if (std::exchange(m_done, false)) {
        return;
    }
    Applying([this] {
        for (const FieldChange& c : m_fields) {
            ApplyField(c, c.after);
        }
        for (const BandChange& c : m_bands) {
            ApplyBand(c, c.after);
        }
    });
}

int EditStep::id() const {
    return m_gesture != 0 ? kMergeableStep : -1;
}

bool EditStep::SameTargets(const EditStep& other) const {
    if (other.m_fields.size() != m_fields.size() || other.m_bands.size() != m_bands.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].field->slot != other.m_fields[i].field->slot ||
            m_fields[i].entry != other.m_fields[i].entry) {
            return false;
        }
    }
    for (std::size_t i = 0; i < m_bands.size(); ++i) {
        if (m_bands[i].group != other.m_bands[i].group ||
            m_bands[i].band != other.m_bands[i].band) {
            return false;
        }
    }
    return true;
}

bool EditStep::mergeWith(const QUndoCommand* other) {
    const auto* step = dynamic_cast<const EditStep*>(other);
    if (!step || step->m_gesture != m_gesture || !SameTargets(*step)) {
        return false;
    }
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i].after = step->m_fields[i].after;
    }
    for (std::size_t i = 0; i < m_bands.size(); ++i) {
        m_bands[i].after = step->m_bands[i].after;
    }
    return true;
}

void SetEditHistory(QUndoStack* stack, std::function<void()> afterApply) {
    History& h = TheHistory();
    h.stack = stack;
    h.afterApply = std::move(afterApply);
}

QUndoStack* EditHistory() {
    return TheHistory().stack.data();
}

void ClearEditHistory() {
    if (QUndoStack* stack = EditHistory()) {
        stack->clear();
    }
}

bool ApplyingHistory() {
    return TheHistory().applying > 0;
}

void BeginGesture() {
    History& h = TheHistory();
    if (h.gesture == 0) {
        h.gesture = h.nextGesture++;
    }
}

void EndGesture() {
    TheHistory().gesture = 0;
}

EditScope::EditScope() {
    ++TheHistory().scopeDepth;
}

EditScope::~EditScope() {
    History& h = TheHistory();
    if (--h.scopeDepth == 0) {
        Push(std::exchange(h.pendingFields, {}), std::exchange(h.pendingBands, {}));
    }
}

void RecordFieldChange(const FieldChange& change) {
    History& h = TheHistory();
    if (h.applying > 0 || change.before == change.after) {
        return;
    }
    if (h.scopeDepth > 0) {
        h.pendingFields.push_back(change);
    } else {
        Push({change}, {});
    }
}

void RecordBandChange(const BandChange& change) {
    History& h = TheHistory();
    if (h.applying > 0 || SameBand(change.before, change.after)) {
        return;
    }
    if (h.scopeDepth > 0) {
        h.pendingBands.push_back(change);
    } else {
        Push({}, {change});
    }
}

void EditField(const MainField& field, int entry, double value, FieldSetter setter) {
    const double before = ReadFieldValue(field, entry);
    (setter ? setter : &StoreAndSend)(field, entry, value);
    RecordFieldChange({&field, entry, before, ReadFieldValue(field, entry), setter});
}

bool EditBand(int group, int band, const EqBand& value) {
    const ParamImage& image = GetParamImage();
    if (ParamImage::BandRecordIndex(group, band) < 0) {
        return false;
    }
    const EqBand before = image.ReadBand(group, band);
    if (!WriteEqBand(group, band, value.gainDb, value.freqHz, value.q, value.type)) {
        return false;
    }
    RecordBandChange({group, band, before, image.ReadBand(group, band)});
    return true;
}

} // namespace kv
