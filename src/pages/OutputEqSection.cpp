#include "pages/OutputEqSection.h"

#include "controls/CEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "image/TypedValue.h"
#include "pages/ChannelLink.h"
#include "pages/EditHistory.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/EqSection.h"
#include "pages/OutputFields.h"
#include "pages/PageTexts.h"
#include "pages/ValueNote.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamTable.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

constexpr float kFreqMin = 20.0f;
constexpr float kFreqMax = 20000.0f;
constexpr int kMaxStoredType = 31;
constexpr int kFirstChannelKind = 7;

bool PassFamily(int family) {
    return family == kFilterLowPass || family == kFilterHighPass;
}

} // namespace

OutputEqSection::OutputEqSection(CEqPanel* panel, EqBandTable* table, EqBandEditor* editor,
                                 QComboBox* slope, QLabel* slopeLabel, QObject* parent)
    : QObject(parent), m_panel(panel), m_table(table), m_editor(editor), m_slope(slope),
      m_slopeLabel(slopeLabel) {
    static constexpr std::array<const char*, 11> kSlopes = {
        "LinkwitzRiely 12dB", "LinkwitzRiely 24dB", "LinkwitzRiely 36dB", "LinkwitzRiely 48dB",
        "Bessel 12dB",        "Bessel 18dB",        "Bessel 24dB",        "Butterworth 12dB",
        "Butterworth 18dB",   "Butterworth 24dB",   "Chebyshev 12dB"};
    for (const char* s : kSlopes) {
        m_slope->addItem(QString::fromLatin1(s));
    }
    SetSlopeShown(false);
    m_panel->installEventFilter(this);

    connect(m_panel, &CEqPanel::bandChanged, this,
            [this](const EqPanelBand&, int index) { OnBandChanged(index, true); });
    connect(m_panel, &CEqPanel::bandPicked, this,
            [this](const EqPanelBand&, int index) { OnBandChanged(index, false); });
    connect(m_panel, &CEqPanel::deselected, this, [this] { Deselect(); });
    connect(m_panel, &CEqPanel::copyPaste, this,
            [this](int action, int kind) { CopyPaste(action, kind); });
    connect(m_table, &EqBandTable::cellEdited, this,
            [this](int row, int column, const QString& text) { OnCellEdited(row, column, text); });
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { OnRowClicked(row); });
    connect(m_slope, &QComboBox::activated, this, [this](int chosen) { ChooseSlope(chosen); });

    connect(m_editor, &EqBandEditor::typeChosen, this,
            [this](int type) { ChangeBandType(m_selected, type); });
    connect(m_editor, &EqBandEditor::gainEdited, this, [this](double db) {
        if (m_selected >= 0) {
            // An empty or unreadable box reads as 0 dB.
            m_panel->SetBandGain(std::isfinite(db) ? static_cast<float>(db) : 0.0f, m_selected);
            NoteIfLimited(db, m_panel->Band(m_selected).gainDb, &pagetext::SignedDb, m_language);
        }
        ApplyEdit(m_selected);
    });
    connect(m_editor, &EqBandEditor::freqEdited, this, [this](double hz) {
        if (m_selected >= 0) {
            // An empty or unreadable box reads as 0 and gives the lowest frequency.
            const double v = std::isfinite(hz) ? std::max(hz, double(kFreqMin)) : kFreqMin;
            m_panel->Band(m_selected).freqHz =
                std::clamp(static_cast<float>(v), kFreqMin, kFreqMax);
            NoteIfLimited(hz, m_panel->Band(m_selected).freqHz, &pagetext::Hz, m_language);
        }
        ApplyEdit(m_selected);
    });
    connect(m_editor, &EqBandEditor::qEdited, this, [this](double q) {
        if (m_selected >= 0 && std::isfinite(q)) {
            m_panel->SetBandQ(static_cast<float>(q), m_selected);
            NoteIfLimited(q, m_panel->Band(m_selected).q, &pagetext::Q, m_language);
        }
        ApplyEdit(m_selected);
    });
    for (CXBmpSlider* s : {m_editor->GainSlider(), m_editor->FreqSlider(), m_editor->QSlider()}) {
        connect(s, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    }
}

void OutputEqSection::SetChannel(int channel) {
    m_channel = std::clamp(channel, 0, kOutputChannels - 1);
}

void OutputEqSection::SetLanguage(int language) {
    m_language = language;
    m_table->SetLanguage(language);
    m_panel->SetLanguage(language);
}

bool OutputEqSection::eventFilter(QObject* watched, QEvent* event) {
    // A drag on the curve is one undo step however many band writes it makes.
    if (watched == m_panel) {
        if (event->type() == QEvent::MouseButtonPress) {
            BeginGesture();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            EndGesture();
        }
    }
    return QObject::eventFilter(watched, event);
}

void OutputEqSection::Load() {
    m_panel->SetSelected(-1);
    m_panel->setFocus();
    m_panel->SetKind(kFirstChannelKind + m_channel);
    m_panel->SetBandCount(kBands);
    const ParamImage& image = GetParamImage();
    const int group = m_channel + kFirstOutputModule;
    for (int b = 0; b < kBands; ++b) {
        const EqBand r = image.ReadBand(group, b);
        EqPanelBand& band = m_panel->Band(b);
        m_panel->SetBandType(b, r.type >= 0 && r.type <= kMaxStoredType ? r.type : kFilterNone);
        m_panel->SetBandGain(std::isfinite(r.gainDb) ? static_cast<float>(r.gainDb) : 0.0f, b);
        if (r.freqHz != 0 && std::isfinite(r.freqHz)) {
            band.freqHz = std::clamp(static_cast<float>(r.freqHz), kFreqMin, kFreqMax);
        }
        if (r.q != 0 && std::isfinite(r.q)) {
            m_panel->SetBandQ(static_cast<float>(r.q), b);
        }
        m_panel->RecalcBand(b);
    }
    for (int b = 0; b < kListRows; ++b) {
        m_table->ShowBand(b, m_panel->Band(b));
        ShowTypeColumn(b);
    }
    m_panel->SetBypass(Bypassed());
    m_panel->update();
    m_selected = -1;
    m_table->clearSelection();
    SetSlopeShown(false);
    emit editorShown(false);
}

void OutputEqSection::SelectBand(int band) {
    if (band < 0 || band >= m_panel->VisibleBandCount()) {
        return;
    }
    m_panel->SetSelected(band);
    m_panel->setFocus();
    m_panel->update();
    OnBandChanged(band, false);
}

void OutputEqSection::Deselect() {
    if (m_selected < 0) {
        return;
    }
    m_selected = -1;
    SetSlopeShown(false);
    emit editorShown(false);
}

bool OutputEqSection::Bypassed() const {
    return GetParamImage().Int(fields::outEqSwitch, m_channel) != 0;
}

void OutputEqSection::ToggleSwitch() {
    const EditScope scope;
    EditField(fields::outEqSwitch, m_channel, Bypassed() ? 0 : 1, &SetLinkedField);
    m_panel->SetBypass(Bypassed());
    m_panel->update();
}

void OutputEqSection::Reset() {
    const ParamImage& image = GetParamImage();
    const EditScope scope;
    m_selected = -1;
    for (int i : GetLinkedChannels(m_channel, CurrentLinkFlags())) {
        const int group = i + kFirstOutputModule;
        std::array<EqBand, kBands> before{};
        for (int b = 0; b < kBands; ++b) {
            before[static_cast<std::size_t>(b)] = image.ReadBand(group, b);
        }
        ResetEq(kFirstChannelKind + i);
        for (int b = 0; b < kBands; ++b) {
            RecordBandChange(
                {group, b, before[static_cast<std::size_t>(b)], image.ReadBand(group, b)});
        }
    }
    Load();
}

void OutputEqSection::SendBand(int band) {
    if (band < 0 || band >= kBands) {
        return;
    }
    const int last = band == kCrossoverBand ? kBands - 1 : band;
    const EditScope scope;
    for (int i : GetLinkedChannels(m_channel, CurrentLinkFlags())) {
        for (int b = band; b <= last; ++b) {
            const EqPanelBand& e = m_panel->Band(b);
            EditBand(i + kFirstOutputModule, b, {e.gainDb, e.freqHz, e.q, e.type});
        }
    }
}

void OutputEqSection::OnBandChanged(int band, bool send) {
    if (band < 0 || band >= kListRows) {
        return;
    }
    const EqPanelBand& b = m_panel->Band(band);
    m_table->ShowBand(band, b);
    m_editor->ShowBand(band, b);
    m_table->selectRow(band);
    if (send) {
        SendBand(band);
    }
    SetSlopeShown(PassFamily(ShowTypeColumn(band)));
    if (m_selected < 0) {
        emit editorShown(true);
    }
    m_selected = band;
}

void OutputEqSection::ShowBand(int band) {
    if (band < 0 || band >= kListRows) {
        return;
    }
    const EqPanelBand& b = m_panel->Band(band);
    m_table->ShowBand(band, b);
    if (band == m_selected) {
        m_editor->ShowBand(band, b);
    }
    m_table->selectRow(band);
    ShowTypeColumn(band);
    m_panel->update();
}

int OutputEqSection::ShowTypeColumn(int band) {
    const int type = m_panel->Band(band).type;
    if (type >= kFilterNone && type <= kFilterHighShelf) {
        return 0;
    }
    if (band != kCrossoverBand) {
        return 0;
    }
    std::array<int, 4> types{};
    for (int i = 0; i < 4; ++i) {
        types[static_cast<std::size_t>(i)] = m_panel->Band(kCrossoverBand + i).type;
    }
    const CrossoverSlope found = FindCrossoverSlope(types);
    if (found.slope >= 0 && found.slope < m_slope->count()) {
        m_slope->setCurrentIndex(found.slope);
    }
    {
        const QSignalBlocker blocker(m_table);
        m_table->item(band, EqBandTable::kType)
            ->setText(pagetext::TypeName(found.family, m_language));
    }
    if (band == m_selected || m_selected < 0) {
        if (QRadioButton* radio = m_editor->TypeRadio(found.family)) {
            radio->setChecked(true);
        }
    }
    return PassFamily(found.family) ? found.family : 0;
}

void OutputEqSection::SetSlopeShown(bool shown) {
    m_slope->setVisible(shown);
    m_slopeLabel->setVisible(shown);
}

void OutputEqSection::ChangeBandType(int band, int type) {
    if (band < 0 || band >= kListRows || type < kFilterPeq || type > kFilterHighShelf) {
        return;
    }
    m_selected = band;
    m_panel->setFocus();
    m_panel->ApplyBandType(band, type);
    SetSlopeShown(band == kCrossoverBand && (type == kFilterLowPass || type == kFilterHighPass));
    ShowBand(band);
    m_editor->ShowBand(band, m_panel->Band(band));
    ShowTypeColumn(band);
    SendBand(band);
}

void OutputEqSection::ChooseSlope(int slope) {
    const int band = m_table->currentRow();
    if (band < 0) {
        return;
    }
    m_panel->SetCrossoverSlope(band, slope);
    ShowBand(band);
    SetSlopeShown(PassFamily(ShowTypeColumn(band)));
    SendBand(band);
}

void OutputEqSection::ApplyEdit(int band) {
    if (band < 0) {
        return;
    }
    const bool dragging = m_editor->GainSlider()->Dragging() ||
                          m_editor->FreqSlider()->Dragging() || m_editor->QSlider()->Dragging();
    if (dragging) {
        BeginGesture();
    }
    m_panel->RecalcBand(band);
    SendBand(band);
    ShowBand(band);
}

void OutputEqSection::OnCellEdited(int row, int column, const QString& text) {
    if (row < 0 || row >= kListRows) {
        return;
    }
    if (column == EqBandTable::kType) {
        ChangeBandType(row, text.toInt());
        return;
    }
    const char* unit = column == EqBandTable::kGain   ? "dB"
                       : column == EqBandTable::kFreq ? "Hz"
                                                      : "";
    const TypedValue typed = ReadTypedValue(text.toStdString(), unit);
    const bool number = typed.ok();
    const double value = typed.value;
    EqPanelBand& band = m_panel->Band(row);
    if (column == EqBandTable::kGain) {
        m_panel->SetBandGain(number ? static_cast<float>(value) : 0.0f, row);
        NoteIfLimited(number ? value : 0.0, band.gainDb, &pagetext::SignedDb, m_language);
    } else if (column == EqBandTable::kFreq && number && value != 0) {
        band.freqHz = std::clamp(static_cast<float>(value), kFreqMin, kFreqMax);
        NoteIfLimited(value, band.freqHz, &pagetext::Hz, m_language);
    } else if (column == EqBandTable::kQ && number) {
        m_panel->SetBandQ(static_cast<float>(value), row);
        NoteIfLimited(value, band.q, &pagetext::Q, m_language);
    }
    m_panel->RecalcBand(row);
    SendBand(row);
    ShowBand(row);
}

void OutputEqSection::OnRowClicked(int row) {
    SetSlopeShown(row == kCrossoverBand && PassFamily(ShowTypeColumn(row)));
}

void OutputEqSection::CopyPaste(int action, int kind) {
    if (action == 0) {
        EqSection::CopiedKind() = kind;
    } else if (action == 1 && EqSection::CopiedKind() >= 0) {
        const int destination = kFirstChannelKind + m_channel;
        const ParamImage& image = GetParamImage();
        const int group = m_channel + kFirstOutputModule;
        std::array<EqBand, kBands> before{};
        for (int b = 0; b < kBands; ++b) {
            before[static_cast<std::size_t>(b)] = image.ReadBand(group, b);
        }
        const EditScope scope;
        CopyEq(EqSection::CopiedKind(), destination);
        for (int b = 0; b < kBands; ++b) {
            RecordBandChange(
                {group, b, before[static_cast<std::size_t>(b)], image.ReadBand(group, b)});
        }
    } else if (action == 2) {
        Reset();
        return;
    }
    Load();
}

} // namespace kv
