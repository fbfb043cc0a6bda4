#pragma once

#include "controls/EqPanelBand.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace kv {

class CXBmpSlider;

/// The band editor of an equaliser page: the band number (1203), type radios (1204..1208),
/// gain, frequency and Q sliders (1209..1211) with their boxes (1212..1214), in frames
/// 1199..1202. It shows a band and reports what the user changes; it changes no band itself.
class EqBandEditor : public QWidget {
    Q_OBJECT
public:
    explicit EqBandEditor(QWidget* parent = nullptr);

    /// Shows a band: number, type, sliders and boxes; the Q range and the gain controls
    /// follow the type.
    void ShowBand(int index, const EqPanelBand& band);
    /// The Q slider's range for a type: 10..3000 for peaking, 10..200 otherwise.
    void SetTypeRange(int type);

    /// The frequency slider's position 0..1000 and the frequency it stands for (logarithmic,
    /// 1 kHz at 500).
    static double FreqAtPosition(int position);
    static int PositionOfFreq(double hz);

    CXBmpSlider* GainSlider() const { return m_gain; }
    CXBmpSlider* FreqSlider() const { return m_freq; }
    CXBmpSlider* QSlider() const { return m_q; }
    QLineEdit* GainBox() const { return m_gainBox; }
    QLineEdit* FreqBox() const { return m_freqBox; }
    QLineEdit* QBox() const { return m_qBox; }
    QRadioButton* TypeRadio(int type) const;
    QLabel* Number() const { return m_number; }

signals:
    void gainEdited(double db);
    /// A frequency; an empty box leaves the frequency alone and reports nothing.
    void freqEdited(double hz);
    void qEdited(double q);
    void typeChosen(int type);

private:
    QWidget* Frame(int id, QWidget* content);
    /// Reports a finished edit of a box whose values are shown in `unit`.
    void BoxFinished(QLineEdit* box, const char* unit, void (EqBandEditor::*signal)(double));

    QLabel* m_number;
    std::array<QRadioButton*, 5> m_types{};
    CXBmpSlider* m_gain;
    CXBmpSlider* m_freq;
    CXBmpSlider* m_q;
    QLineEdit* m_gainBox;
    QLineEdit* m_freqBox;
    QLineEdit* m_qBox;
};

} // namespace kv
