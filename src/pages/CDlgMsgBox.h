#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kv {

/// The two-choice question box: a message, a button for each choice and "Cancel". exec()
/// returns 1 for the first choice, 2 for the second and 0 for "Cancel" or closing the box.
class CDlgMsgBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 513;
    static constexpr int kFirstId = 1001;
    static constexpr int kSecondId = 1002;
    static constexpr int kCancelId = 2;

    CDlgMsgBox(const QString& message, const QString& first, const QString& second,
               QWidget* parent = nullptr);

    QLabel* Message() const { return m_message; }
    QPushButton* FirstButton() const { return m_first; }
    QPushButton* SecondButton() const { return m_second; }
    QPushButton* CancelButton() const { return m_cancel; }

    /// Asks and returns 0, 1 or 2.
    static int Ask(QWidget* parent, const QString& message, const QString& first,
                   const QString& second);

private:
    QLabel* m_message;
    QPushButton* m_first;
    QPushButton* m_second;
    QPushButton* m_cancel;
};

} // namespace kv
