#pragma once

#include "shell/IPage.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace kv {

class CXBmpSlider;
class FieldBinder;
struct MainField;
class OutputEqSection;
class OutputNavRow;

/// The output page: one output channel's equaliser (nine bands and the crossover), mix levels,
/// delay and compressor, and the mute, phase and speaker role of all eight channels. The link
/// boxes join CH1+CH2, CH3+CH4 and CH7+CH8 so that equaliser, level, delay and compressor
/// edits of one channel reach its partner too.
class CDialogOutput : public QWidget, public IPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 385;
    static constexpr std::array<int, 3> kLinkIds = {1062, 1064, 1068};

    explicit CDialogOutput(int channel, QWidget* parent = nullptr);
    ~CDialogOutput() override;

    PageKind Kind() const override { return PageKind::Output; }
    QWidget* Widget() override { return this; }
    void SetPageArgument(int channel) override { SelectChannel(channel); }
    void RefreshFromImage() override;
    void ApplyLanguage() override;
    bool HasEq() const override { return true; }
    int ShownEqKind() const override { return 7 + m_channel; }
    bool IsEqBypassed() const override;
    void SelectBand(int band) override;
    void ToggleEqSwitch() override;
    void ResetEq() override;

    /// Makes c the current channel (and the channel the output command reopens).
    void SelectChannel(int channel);
    int Channel() const { return m_channel; }

    OutputEqSection* Eq() const { return m_eq; }
    OutputNavRow* Navigation() const { return m_nav; }
    QCheckBox* LinkBox(int pair) const { return m_links[static_cast<std::size_t>(pair)]; }
    QCheckBox* MuteBox(int c) const { return m_mutes[static_cast<std::size_t>(c)]; }
    QCheckBox* PhaseBox(int c) const { return m_phases[static_cast<std::size_t>(c)]; }
    QComboBox* RoleCombo(int c) const { return m_roles[static_cast<std::size_t>(c)]; }
    /// A numbered control of the page (sliders, boxes and labels).
    QWidget* Control(int id) const;
    CXBmpSlider* Slider(int id) const;

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    QWidget* BuildLevels();
    QWidget* BuildDelay();
    QWidget* BuildCompressor();
    QWidget* BuildChannels();
    void FillRoleTexts();
    void ShowChannelControls();
    void ShowDelayCrossover();
    void ApplyDelayEnabling();
    void ShowPicture();
    void OnLinkBox(int pair, bool checked);
    void OnDelayCrossover(int k);
    void OnRole(int channel, int role);
    void OnFieldChanged(const MainField* field, int entry);

    int m_channel;
    OutputNavRow* m_nav;
    FieldBinder* m_binder;
    OutputEqSection* m_eq;
    QLabel* m_picture = nullptr;
    std::array<QCheckBox*, 3> m_links{};
    std::array<QCheckBox*, 8> m_mutes{};
    std::array<QCheckBox*, 8> m_phases{};
    std::array<QComboBox*, 8> m_roles{};
};

} // namespace kv
