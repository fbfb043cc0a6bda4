#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace kv {

/// The information window (dialog 344): one line of text, closed by its button or when its
/// display time has passed. Modeless; destroys itself when it closes.
class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 344;
    static constexpr int kTextId = 1223;
    static constexpr int kCloseId = 2;

    explicit CInfoDlg(QWidget* parent);

    /// Puts text in the line and (re)starts the display time.
    void ShowText(const QString& text, int ms);
    QString Text() const;
    void ApplyLanguage();

private:
    QLabel* m_text;
    QPushButton* m_close;
    QTimer m_displayTimer; ///< timer 900
};

} // namespace kv
