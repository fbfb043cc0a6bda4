#pragma once

#include "protocol/MachineSettings.h"
#include "settings/SettingsDialog.h"

#include <array>
#include <functional>

class QComboBox;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kv {

class CGdipButton;

/// The machine settings window: shows the processor's current settings record and edits
/// its edit copy; Apply sends the edit copy (command 145) and makes it the current copy.
/// Closing with the title-bar button discards unapplied edits, Cancel keeps them for the
/// next Apply. The start volume sliders also move the live volumes at once.
class CSetDlg : public SettingsDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 335;
    static constexpr int kApply = 1073;
    static constexpr int kCancel = 2;
    static constexpr int kClearPlugs = 1070;
    static constexpr int kPowerOnMode = 1134;
    static constexpr int kHdmiMute = 1049;
    static constexpr int kFactoryFirst = 32823; ///< "M1"; M2..M4 follow

    explicit CSetDlg(QWidget* parent = nullptr);

    void RefreshFromImage() override;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    /// A start volume (byte 3 or 4) and the maximum (byte 5 or 6) that limits it.
    struct Volume {
        std::size_t startByte;
        std::size_t maxByte;
        const MainField* live; ///< the volume the start slider moves at once
        CXBmpSlider* start = nullptr;
        QLabel* startCaption = nullptr;
        QLabel* startValue = nullptr;
        QCheckBox* enable = nullptr;
        CXBmpSlider* max = nullptr;
        QLabel* maxValue = nullptr;
    };

    void Edit(const std::function<void(MachineSettingsRecord&)>& change);
    void ShowStart(Volume& v, int byte);
    void MoveStart(Volume& v, int p);
    void MoveMax(Volume& v, int p);
    void Enable(Volume& v, bool on);
    void ShowModeButtons();
    void RecallFactory(int mode);
    void ClearPlugs();
    void Apply();
    QWidget* BuildVolumes();
    QWidget* BuildOptions();

    std::array<Volume, 2> m_volumes;
    std::array<QRadioButton*, 2> m_saveMode{};
    QComboBox* m_powerOn;
    QCheckBox* m_hdmiMute;
    std::array<QRadioButton*, 3> m_routes{};
    std::array<CGdipButton*, 4> m_factory{};
    bool m_cancelled = false;
};

/// Clears the smart-plug data (installed by the smart-home part of the application).
void SetPlugDataReset(std::function<void()> reset);

} // namespace kv
