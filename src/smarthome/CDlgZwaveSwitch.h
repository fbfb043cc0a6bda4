#pragma once

#include "shell/IShellWindow.h"

#include <QDialog>

class QPushButton;

namespace kv {

/// The switch dialog (dialog 485): ON and OFF for one switch node.
class CDlgZwaveSwitch : public QDialog, public IShellWindow {
    Q_OBJECT
public:
    static constexpr int kDialogId = 485;
    static constexpr int kOnId = 1068;
    static constexpr int kOffId = 1069;
    static constexpr int kOn = 255;
    static constexpr int kOff = 0;

    CDlgZwaveSwitch(int node, QWidget* parent = nullptr);

    void SetNode(int node);
    int Node() const { return m_node; }
    void ApplyLanguage() override;
    void RefreshFromImage() override;

private:
    void Switch(bool on);

    int m_node;
    QPushButton* m_on;
    QPushButton* m_off;
};

} // namespace kv
