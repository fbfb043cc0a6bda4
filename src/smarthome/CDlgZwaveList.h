#pragma once

#include "shell/IShellWindow.h"

#include <QWidget>

class QPushButton;

namespace kv {

class CIconListCtrl;

/// The device list page (dialog 481): every present node 2..232 by name and type; a click
/// drives it, a right click edits it; delete and add buttons.
class CDlgZwaveList : public QWidget, public IShellWindow {
    Q_OBJECT
public:
    static constexpr int kDialogId = 481;
    static constexpr int kListId = 1223;
    static constexpr int kDeleteId = 1075;
    static constexpr int kAddId = 1076;
    static constexpr int kIconSize = 48;

    explicit CDlgZwaveList(QWidget* parent = nullptr);

    /// Clears and refills the list from the node and device tables.
    void RefreshDevices();
    void RefreshFromImage() override { RefreshDevices(); }
    void ApplyLanguage() override;
    CIconListCtrl* List() const { return m_list; }

private:
    void Open(int node);
    void Edit(int node);

    CIconListCtrl* m_list;
    QPushButton* m_delete;
    QPushButton* m_add;
};

} // namespace kv
