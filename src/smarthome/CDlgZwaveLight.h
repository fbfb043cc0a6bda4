#pragma once

#include "shell/IShellWindow.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kv {

class CXBmpSlider;

/// The dimmer dialog (dialog 484): a level slider 0..99 for one dimmer node, set when the
/// slider is released, with OFF and Max buttons and the low-voltage warning.
class CDlgZwaveLight : public QDialog, public IShellWindow {
    Q_OBJECT
public:
    static constexpr int kDialogId = 484;
    static constexpr int kSliderId = 1014;
    static constexpr int kLevelId = 1232;
    static constexpr int kOffId = 1070;
    static constexpr int kMaxId = 1071;
    static constexpr int kDownId = 1068;
    static constexpr int kUpId = 1069;
    static constexpr int kMaxLevel = 99;

    CDlgZwaveLight(int node, QWidget* parent = nullptr);

    void SetNode(int node);
    int Node() const { return m_node; }
    void ApplyLanguage() override;
    void RefreshFromImage() override;
    CXBmpSlider* Slider() const { return m_slider; }
    QString LevelText() const;
    /// "关" for 0, "最大" for 99, else "v%".
    static QString LevelText(int value);

private:
    void ShowLevel();
    /// The slider was released (or a button moved it): the node gets the level.
    void Released();
    void MoveTo(int value);

    int m_node;
    CXBmpSlider* m_slider;
    QLabel* m_level;
    QLabel* m_voltage;
    QLabel* m_tip;
    QLabel* m_warning;
    QLabel* m_warning1;
    QLabel* m_warning2;
    QPushButton* m_off;
    QPushButton* m_max;
    QPushButton* m_down;
    QPushButton* m_up;
};

} // namespace kv
