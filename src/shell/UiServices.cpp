#include "shell/UiServices.h"

#include <QFileDialog>
#include <QMessageBox>

namespace kv {

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Error:
        return QMessageBox::Critical;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class QtMessageBoxes final : public IMessageBoxes {
public:
    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons,
                   BoxIcon icon) override {
        QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::NoButton, parent);
        // Texts may carry strings from the device or from file names: never markup.
        box.setTextFormat(Qt::PlainText);
        switch (buttons) {
        case BoxButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case BoxButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case BoxButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        case QMessageBox::Cancel:
            return BoxAnswer::Cancel;
        default:
            return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
        }
    }
};

class QtFileChooser final : public IFileChooser {
public:
    QString OpenFile(QWidget* parent, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    }

    QString SaveFile(QWidget* parent, const QString& proposedName, const QString& defaultSuffix,
                     const QString& filter) override {
        QFileDialog dialog(parent, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix);
        dialog.selectFile(proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        return dialog.selectedFiles().constFirst();
    }
};

std::unique_ptr<IMessageBoxes>& BoxesSlot() {
    static std::unique_ptr<IMessageBoxes> boxes = std::make_unique<QtMessageBoxes>();
    return boxes;
}

std::unique_ptr<IFileChooser>& ChooserSlot() {
    static std::unique_ptr<IFileChooser> chooser = std::make_unique<QtFileChooser>();
    return chooser;
}

} // namespace

QString ModeFileFilter() {
    return QStringLiteral("Mode Files (*.amod)");
}

IMessageBoxes& MessageBoxes() {
    return *BoxesSlot();
}

IFileChooser& FileChooser() {
    return *ChooserSlot();
}

std::unique_ptr<IMessageBoxes> SetMessageBoxes(std::unique_ptr<IMessageBoxes> boxes) {
    auto previous = std::move(BoxesSlot());
    BoxesSlot() = boxes ? std::move(boxes) : std::make_unique<QtMessageBoxes>();
    return previous;
}

std::unique_ptr<IFileChooser> SetFileChooser(std::unique_ptr<IFileChooser> chooser) {
    auto previous = std::move(ChooserSlot());
    ChooserSlot() = chooser ? std::move(chooser) : std::make_unique<QtFileChooser>();
    return previous;
}

void ShowMessage(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon) {
    MessageBoxes().Show(parent, text, caption, BoxButtons::Ok, icon);
}

bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
    return MessageBoxes().Show(parent, text, caption, BoxButtons::YesNo, BoxIcon::Question) ==
           BoxAnswer::Yes;
}

} // namespace kv
