#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace kv {

enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum class BoxIcon { None, Information, Question, Warning, Error };
enum class BoxAnswer { Ok, Yes, No, Cancel };

/// Message boxes. The application uses QMessageBox; tests install their own answers.
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    /// Shows a modal box and returns the button the user chose.
    virtual BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption,
                           BoxButtons buttons, BoxIcon icon) = 0;
};

/// Open and save file dialogs. The application uses QFileDialog; tests answer them.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    /// The chosen existing file, or an empty string when cancelled.
    virtual QString OpenFile(QWidget* parent, const QString& filter) = 0;
    /// The chosen target (with defaultSuffix added when the name has none), or an empty
    /// string when cancelled. Asks before overwriting.
    virtual QString SaveFile(QWidget* parent, const QString& proposedName,
                             const QString& defaultSuffix, const QString& filter) = 0;
};

/// The file filter of mode files.
QString ModeFileFilter();

IMessageBoxes& MessageBoxes();
IFileChooser& FileChooser();
/// Replaces the message boxes (nullptr restores the Qt ones). Returns the previous one.
std::unique_ptr<IMessageBoxes> SetMessageBoxes(std::unique_ptr<IMessageBoxes> boxes);
/// Replaces the file dialogs (nullptr restores the Qt ones). Returns the previous one.
std::unique_ptr<IFileChooser> SetFileChooser(std::unique_ptr<IFileChooser> chooser);

/// Shorthands for the common boxes.
void ShowMessage(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon);
bool AskYesNo(QWidget* parent, const QString& text, const QString& caption);

} // namespace kv
