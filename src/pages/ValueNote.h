#pragma once

#include <QString>

#include <functional>

/// Short notes about typed values, shown where the main window shows its status (the status
/// bar); without a window they go nowhere.
namespace kv {

using ValueNoteSink = std::function<void(const QString& text)>;

/// Installs where the notes go (null: nowhere).
void SetValueNoteSink(ValueNoteSink sink);
/// Says that a typed value was out of range and which value was kept instead (both as the
/// box shows them); language 0 Chinese, 1 English.
void NoteLimited(const QString& typed, const QString& kept, int language);
/// NoteLimited when the value kept is not the value asked for (a finite one), both shown
/// through text.
void NoteIfLimited(double asked, double kept, QString (*text)(double), int language);

} // namespace kv
