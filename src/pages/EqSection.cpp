#include "pages/EqSection.h"

#include "controls/CEqPanel.h"
#include "image/ParamImage.h"
#include "image/TypedValue.h"
#include "pages/EditHistory.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/PageTexts.h"
#include "pages/ValueNote.h"
#include "protocol/Equaliser.h"

#include <QEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv {

namespace {

constexpr float kFreqMin = 20.0f;
constexpr float kFreqMax = 20000.0f;

/// Runs an operation that rewrites many bands of a kind and records it as one undo step.
template <typename Fn>
void RecordBands(int kind, Fn fn) {
    const auto k = EqKind(kind);
    if (!k) {
        return;
    }
    const ParamImage& image = GetParamImage();
    std::vector<EqBand> before;
    for (int b = 0; b < k->bands; ++b) {
        before.push_back(image.ReadBand(k->group, k->firstBand + b));
    }
    fn();
    const EditScope scope;
    for (int b = 0; b < k->bands; ++b) {
        RecordBandChange({k->group, k->firstBand + b, before[static_cast<std::size_t>(b)],
                          image.ReadBand(k->group, k->firstBand + b)});
    }
}

} // namespace

int& EqSection::CopiedKind() {
    static int kind = -1;
    return kind;
}

EqSection::EqSection(CEqPanel* panel, EqBandTable* table, EqBandEditor* editor, QObject* parent)
    : QObject(parent), m_panel(panel), m_table(table), m_editor(editor) {
    m_panel->installEventFilter(this);
    connect(m_panel, &CEqPanel::bandChanged, this, [this](const EqPanelBand&, int index) {
        Pick(index);
        Send(index);
    });
    connect(m_panel, &CEqPanel::bandPicked, this,
            [this](const EqPanelBand&, int index) { Pick(index); });
    connect(m_panel, &CEqPanel::deselected, this, [this] { ClearSelection(); });
    connect(m_panel, &CEqPanel::copyPaste, this, &EqSection::CopyPaste);
    connect(m_table, &EqBandTable::cellEdited, this, &EqSection::OnCellEdited);
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { SelectBand(row); });
    connect(m_editor, &EqBandEditor::typeChosen, this, [this](int t) { ApplyType(m_selected, t); });
    connect(m_editor, &EqBandEditor::gainEdited, this,
            [this](double v) { ApplyGain(m_selected, v); });
    connect(m_editor, &EqBandEditor::freqEdited, this,
            [this](double v) { ApplyFreq(m_selected, v); });
    connect(m_editor, &EqBandEditor::qEdited, this, [this](double v) { ApplyQ(m_selected, v); });
}

bool EqSection::eventFilter(QObject* watched, QEvent* event) {
    // A press on the panel to its release is one drag: its band steps merge into one undo step.
    if (watched == m_panel) {
        if (event->type() == QEvent::MouseButtonPress) {
            BeginGesture();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            EndGesture();
        }
    }
    return QObject::eventFilter(watched, event);
}

void EqSection::SetTarget(const EqTarget& target) {
    m_target = target;
}

void EqSection::SetLanguage(int language) {
    m_panel->SetLanguage(language);
    m_table->SetLanguage(language);
    for (int b = 0; b < m_target.bands; ++b) {
        m_table->ShowBand(b, m_panel->Band(b));
    }
}

void EqSection::Load() {
    m_panel->SetSelected(-1);
    m_panel->SetKind(m_target.kind);
    m_panel->SetBandCount(m_target.bands);
    const ParamImage& image = GetParamImage();
    for (int b = 0; b < m_target.bands; ++b) {
        const EqBand r = image.ReadBand(m_target.group, m_target.firstBand + b);
        EqPanelBand& band = m_panel->Band(b);
        m_panel->SetBandType(b, r.type >= kFilterNone && r.type <= kFilterHighShelf ? r.type
                                                                                    : kFilterNone);
        m_panel->SetBandGain(static_cast<float>(r.gainDb), b);
        if (r.freqHz != 0 && std::isfinite(r.freqHz)) {
            band.freqHz = std::clamp(static_cast<float>(r.freqHz), kFreqMin, kFreqMax);
        }
        if (r.q != 0) {
            m_panel->SetBandQ(static_cast<float>(r.q), b);
        }
        m_panel->RecalcBand(b);
        m_table->ShowBand(b, band);
    }
    m_panel->SetBypass(Bypassed());
    m_panel->update();
    ClearSelection();
}

void EqSection::ClearSelection() {
    m_selected = -1;
    m_panel->SetSelected(-1);
    m_table->clearSelection();
    m_panel->update();
    emit selectionChanged(-1);
}

void EqSection::SelectBand(int band) {
    if (band < 0 || band >= m_target.bands) {
        return;
    }
    m_panel->SetSelected(band);
    m_panel->setFocus();
    m_panel->update();
    Pick(band);
}

void EqSection::Pick(int band) {
    const bool changed = m_selected != band;
    m_selected = band;
    ShowBand(band);
    m_table->selectRow(band);
    if (changed) {
        emit selectionChanged(band);
    }
}

void EqSection::ShowBand(int band) {
    if (band < 0 || band >= m_target.bands) {
        return;
    }
    const EqPanelBand& b = m_panel->Band(band);
    m_table->ShowBand(band, b);
    if (band == m_selected) {
        m_editor->ShowBand(band, b);
    }
}

void EqSection::Send(int band) {
    const EqPanelBand& b = m_panel->Band(band);
    EditBand(m_target.group, m_target.firstBand + band, {b.gainDb, b.freqHz, b.q, b.type});
}

void EqSection::ApplyType(int band, int type) {
    if (band < 0 || band >= m_target.bands || type < kFilterPeq || type > kFilterHighShelf) {
        return;
    }
    m_panel->SetBandType(band, type);
    Send(band);
    ShowBand(band);
    m_panel->update();
}

void EqSection::ApplyGain(int band, double db) {
    if (band < 0 || band >= m_target.bands) {
        return;
    }
    if (std::isfinite(db)) {
        m_panel->SetBandGain(static_cast<float>(db), band);
        Send(band);
        m_panel->update();
        NoteIfLimited(db, m_panel->Band(band).gainDb, &pagetext::SignedDb, m_table->Language());
    }
    ShowBand(band);
}

void EqSection::ApplyFreq(int band, double hz) {
    if (band < 0 || band >= m_target.bands) {
        return;
    }
    if (std::isfinite(hz) && hz != 0) {
        m_panel->Band(band).freqHz = std::clamp(static_cast<float>(hz), kFreqMin, kFreqMax);
        m_panel->RecalcBand(band);
        Send(band);
        NoteIfLimited(hz, m_panel->Band(band).freqHz, &pagetext::Hz, m_table->Language());
        m_panel->update();
    }
    ShowBand(band);
}

void EqSection::ApplyQ(int band, double q) {
    if (band < 0 || band >= m_target.bands) {
        return;
    }
    if (std::isfinite(q)) {
        m_panel->SetBandQ(static_cast<float>(q), band);
        Send(band);
        m_panel->update();
        NoteIfLimited(q, m_panel->Band(band).q, &pagetext::Q, m_table->Language());
    }
    ShowBand(band);
}

void EqSection::OnCellEdited(int row, int column, const QString& text) {
    double v = 0;
    const auto typed = [&text](const char* unit) {
        const TypedValue t = ReadTypedValue(text.toStdString(), unit);
        return t.ok() ? t.value : std::nan("");
    };
    switch (column) {
    case EqBandTable::kType:
        ApplyType(row, pagetext::LeadingNumber(text, v) ? static_cast<int>(v) : -1);
        ShowBand(row); // a name that matches no type leaves the cell as it was
        break;
    case EqBandTable::kGain:
        ApplyGain(row, typed("dB"));
        break;
    case EqBandTable::kFreq:
        ApplyFreq(row, typed("Hz"));
        break;
    case EqBandTable::kQ:
        ApplyQ(row, typed(""));
        break;
    default:
        break;
    }
}

bool EqSection::Bypassed() const {
    return m_target.switchField &&
           GetParamImage().Int(*m_target.switchField, m_target.switchEntry) != 0;
}

void EqSection::ToggleSwitch() {
    if (!m_target.switchField) {
        return;
    }
    EditField(*m_target.switchField, m_target.switchEntry, Bypassed() ? 0 : 1);
    m_panel->SetBypass(Bypassed());
    m_panel->update();
}

void EqSection::Reset() {
    RecordBands(m_target.kind, [this] { ResetEq(m_target.kind); });
    Load();
}

void EqSection::CopyPaste(int action, int kind) {
    if (action == 0) {
        CopiedKind() = kind;
    } else if (action == 1) {
        if (CopiedKind() >= 0) {
            RecordBands(kind, [kind] { CopyEq(CopiedKind(), kind); });
        }
    } else if (action == 2) {
        RecordBands(kind, [kind] { ResetEq(kind); });
    }
    Load();
}

} // namespace kv
