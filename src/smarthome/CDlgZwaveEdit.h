#pragma once

#include "shell/IShellWindow.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

/// The device edit dialog (dialog 480): adds a device (node 0) or renames and retypes one.
class CDlgZwaveEdit : public QDialog, public IShellWindow {
    Q_OBJECT
public:
    static constexpr int kDialogId = 480;
    static constexpr int kTypeId = 1134;
    static constexpr int kNameId = 1038;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kTypeLabelId = 1133;
    static constexpr int kNameLabelId = 1132;
    /// Characters the name edit takes; the record keeps 11 of them.
    static constexpr int kNameEditLength = 12;

    CDlgZwaveEdit(int node, QWidget* parent = nullptr);

    int Node() const { return m_node; }
    bool Adding() const { return m_node == 0; }
    void ApplyLanguage() override;
    QComboBox* TypeCombo() const { return m_type; }
    QLineEdit* NameEdit() const { return m_name; }
    QPushButton* OkButton() const { return m_ok; }

private:
    void TypeChanged(int index);
    void Ok();

    const int m_node;
    QLabel* m_typeLabel;
    QComboBox* m_type;
    QLabel* m_nameLabel;
    QLineEdit* m_name;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace kv
