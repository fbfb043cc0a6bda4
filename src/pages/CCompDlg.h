#pragma once

#include "shell/IPage.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace kv {

class CCompressPanelPlus;
class CXBmpSlider;
class FieldBinder;
class OutputNavRow;

/// The compressor page: switch, threshold, ratio, attack and release of one output channel
/// chosen with a combo box, with the transfer curve. Edits reach only the chosen channel,
/// whatever channels are linked.
class CCompDlg : public QWidget, public IPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 346;

    explicit CCompDlg(QWidget* parent = nullptr);
    ~CCompDlg() override;

    PageKind Kind() const override { return PageKind::Compressor; }
    QWidget* Widget() override { return this; }
    void RefreshFromImage() override;
    void ApplyLanguage() override;

    /// Chooses the channel (0..7) as the combo box does.
    void SelectChannel(int channel);
    int Channel() const { return m_channel; }

    QComboBox* ChannelCombo() const { return m_channelCombo; }
    QCheckBox* Switch() const { return m_switch; }
    /// Threshold 0, ratio 1, attack 2, release 3.
    CXBmpSlider* Slider(int i) const { return m_sliders[static_cast<std::size_t>(i)]; }
    QLineEdit* ValueBox(int i) const { return m_values[static_cast<std::size_t>(i)]; }
    CCompressPanelPlus* Panel() const { return m_panel; }
    OutputNavRow* Navigation() const { return m_nav; }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void FillChannelCombo();
    void OnSwitch(bool checked);
    void ShowPanel();

    int m_channel = 0;
    OutputNavRow* m_nav;
    QComboBox* m_channelCombo;
    QCheckBox* m_switch;
    std::array<CXBmpSlider*, 4> m_sliders{};
    std::array<QLineEdit*, 4> m_values{};
    CCompressPanelPlus* m_panel;
    FieldBinder* m_binder;
};

} // namespace kv
