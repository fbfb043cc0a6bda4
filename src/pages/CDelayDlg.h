#pragma once

#include "shell/IPage.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace kv {

class CDelayPanel;
class CXBmpSlider;
class FieldBinder;
class OutputNavRow;
class UpDownControl;

/// The delay page: for each of the eight output channels the delay switch, the mode
/// (high-frequency or channel delay), the crossover of the high-frequency delay and the delay
/// time as a box with arrows, and one panel with every channel's delay as a marker to drag.
class CDelayDlg : public QWidget, public IPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 333;
    static constexpr int kChannels = 8;

    explicit CDelayDlg(QWidget* parent = nullptr);
    ~CDelayDlg() override;

    PageKind Kind() const override { return PageKind::Delay; }
    QWidget* Widget() override { return this; }
    void RefreshFromImage() override;
    void ApplyLanguage() override;

    /// Shows ms (already limited to 1.5..100) on channel c and stores and sends it when it
    /// differs from the stored delay.
    void CommitDelay(int channel, float ms);

    QCheckBox* Switch(int c) const { return m_rows[Index(c)].onBox; }
    QRadioButton* HighFreqRadio(int c) const { return m_rows[Index(c)].highFreq; }
    QRadioButton* ChannelRadio(int c) const { return m_rows[Index(c)].channel; }
    CXBmpSlider* CrossoverSlider(int c) const { return m_rows[Index(c)].crossover; }
    QLabel* CrossoverLabel(int c) const { return m_rows[Index(c)].frequency; }
    QLabel* NameLabel(int c) const { return m_rows[Index(c)].name; }
    QLineEdit* DelayBox(int c) const { return m_rows[Index(c)].delay; }
    UpDownControl* UpDown(int c) const { return m_rows[Index(c)].upDown; }
    CDelayPanel* Panel() const { return m_panel; }
    OutputNavRow* Navigation() const { return m_nav; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Row {
        QLabel* name = nullptr;
        QCheckBox* onBox = nullptr;
        QRadioButton* highFreq = nullptr;
        QRadioButton* channel = nullptr;
        CXBmpSlider* crossover = nullptr;
        QLabel* frequency = nullptr;
        QLineEdit* delay = nullptr;
        UpDownControl* upDown = nullptr;
    };

    static std::size_t Index(int c) { return static_cast<std::size_t>(c); }
    void BuildRow(int c);
    /// Steps 2 to 4 of CommitDelay: marker, box text, store and send.
    void ApplyDelay(int channel, float ms);
    void ShowCrossover(int channel);
    void ShowDelay(int channel);
    void ApplyEnabling(int channel);
    void OnCrossover(int channel, int k);
    void OnUpDown(int channel, int position, int delta);

    OutputNavRow* m_nav;
    CDelayPanel* m_panel;
    FieldBinder* m_binder;
    std::array<Row, kChannels> m_rows{};
};

} // namespace kv
