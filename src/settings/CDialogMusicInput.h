#pragma once

#include "settings/SettingsDialog.h"

#include <array>

class QRadioButton;

namespace kv {

/// The music source window: which input the processor plays (optical 1 and 2, Bluetooth,
/// four HDMI inputs, the analogue inputs) and the input level of each source. Closing only
/// hides it; the same window is shown again on the next opening.
class CDialogMusicInput : public SettingsDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 512;
    static constexpr int kSources = 9;

    explicit CDialogMusicInput(QWidget* parent = nullptr);

    /// The HDMI buttons read "Android", "HDMI1".."HDMI3" with a processor of model "RS483".
    void SetHdmiLabelsByModel();
    QRadioButton* SourceButton(int row) const { return m_radios[static_cast<std::size_t>(row)]; }

public slots:
    void done(int result) override;

protected:
    void AfterRefresh() override;
    void AfterLanguage() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Choose(int row);

    std::array<QRadioButton*, kSources> m_radios{};
};

} // namespace kv
