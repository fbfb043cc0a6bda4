#pragma once

#include <QFrame>

class QLabel;

namespace kv {

/// Shown over the page area while no processor is connected: says so and lists what to
/// check (the cable, the udev rule and the command that installs it, the USB id the link
/// looks for) and how to try the application without hardware.
class CDisconnectedPanel : public QFrame {
    Q_OBJECT
public:
    explicit CDisconnectedPanel(QWidget* parent = nullptr);

    /// Writes the texts in the current language.
    void ApplyLanguage();
    /// Says why a processor that was found could not be opened (another program has it);
    /// empty for none. True when the text changed.
    bool SetOpenFailure(const QString& why);
    /// The full text shown (title and checklist), for tests and accessibility.
    QString Text() const;

    /// The udev rule file the install command copies: the installed one beside the program,
    /// else the one in the source tree; empty when neither is there.
    static QString UdevRulePath();
    /// The one command that installs the udev rule.
    static QString UdevInstallCommand();

private:
    QLabel* m_title;
    QLabel* m_body;
    QString m_openFailure;
};

} // namespace kv
