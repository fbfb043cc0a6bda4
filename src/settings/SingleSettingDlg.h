#pragma once

#include "settings/SettingsDialog.h"

class QCheckBox;
class QLabel;

namespace kv {

struct MainField;

/// A window with one switched setting: a note (1005), the switch (1045), and the level
/// (caption 1123, slider 1000, value 1127), usable only while the switch is on. The
/// bindings name the switch's and the slider's fields.
class SingleSettingDlg : public SettingsDialog {
    Q_OBJECT

public:
    static constexpr int kNote = 1005;
    static constexpr int kSwitch = 1045;
    static constexpr int kCaption = 1123;
    static constexpr int kSlider = 1000;
    static constexpr int kValue = 1127;

    SingleSettingDlg(int dialogId, std::span<const FieldBinding> bindings, QWidget* parent);

protected:
    void AfterRefresh() override;

private:
    void EnableLevel();

    QCheckBox* m_switch;
    QLabel* m_caption;
    CXBmpSlider* m_slider;
    QLabel* m_value;
};

/// Automatic subwoofer attenuation: the ducked sub level while a microphone is heard.
class CAutoSubDlg : public SingleSettingDlg {
    Q_OBJECT

public:
    static constexpr int kDialogId = 410;
    explicit CAutoSubDlg(QWidget* parent = nullptr);
};

/// Music level control: the target level of the music input's automatic gain.
class CAutoMusicVolDlg : public SingleSettingDlg {
    Q_OBJECT

public:
    static constexpr int kDialogId = 424;
    explicit CAutoMusicVolDlg(QWidget* parent = nullptr);
};

} // namespace kv
