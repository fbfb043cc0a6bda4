#pragma once

#include "settings/SettingsDialog.h"

class QCheckBox;
class QGridLayout;
class QLabel;

namespace kv {

/// The features window: the microphone exciter with its three bands and harmonics, the
/// microphone bass boost, the music sub-bass channel (low-pass, delay, level), the automatic
/// sub-woofer ducking and the automatic music input level. Closing destroys it.
class CloudnessDlg : public SettingsDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 515;
    static constexpr int kBassBoost = 1063;
    static constexpr int kBassBoostText = 1027;
    static constexpr int kSubBassFreq = 1046;
    static constexpr int kSubBassFreqText = 1008;
    static constexpr int kMusicLevelOn = 1044;

    explicit CloudnessDlg(QWidget* parent = nullptr);

public slots:
    void accept() override {}

protected:
    void AfterRefresh() override;

private:
    QWidget* BuildExciter();
    QWidget* BuildSubBass();
    QWidget* BuildDucking();
    QWidget* BuildMusicLevel();
    /// A caption, a slider and its value text in a row of a grid.
    void AddRow(QGridLayout* grid, int row, int caption, int slider, int text);
    void SetBassBoost(int amount);
    void SetSubBassFreq(int hz);
    void SetMusicLevelOn(bool on);

    CXBmpSlider* m_bassBoost = nullptr;
    QLabel* m_bassBoostText = nullptr;
    CXBmpSlider* m_subBassFreq = nullptr;
    QLabel* m_subBassFreqText = nullptr;
    QCheckBox* m_musicLevelOn = nullptr;
};

} // namespace kv
