#pragma once

#include <functional>

#include <QString>

class QWidget;

/// The commands that move whole settings: the processor's four modes and mode files.
namespace kv {

/// The name of mode m (0..3) in a language: "M1（电视）" .. or "M1（TV）" ..
QString ModeName(int language, int m);

/// Current mode index = m (limited to 0..3); the processor switches to that mode.
void RecallMode(int m);
/// Current mode index = m; the processor stores its parameters as mode m, after every
/// setting queued before. Returns at once: false when no processor takes the command;
/// otherwise the parameter-changed flag is cleared and onAnswer(stored) runs on the UI
/// thread once the processor answered or the answer wait passed.
bool StoreMode(int m, std::function<void(bool)> onAnswer);
/// Stores a just-loaded file into mode m: command 3, a 20 ms pause, command 4.
void StoreModeAfterLoad(int m);
/// Only when connected: recalls the factory setting of mode m and waits for the read-all.
void RecallFactoryMode(int m);

/// The recall command of the mode menus and of F1..F4: asks first when the processor has
/// unsaved changes. Does nothing when not connected.
void RecallModeCommand(QWidget* parent, int m);
/// The store command of the mode menus: asks, stores and shows the storing notice. Does
/// nothing when not connected. afterPauseMs: pause after the notice (F1..F4 with Ctrl).
void StoreModeCommand(QWidget* parent, int m, bool fromKey);

/// The name the save dialogs propose: the processor's name of the current mode, made safe
/// as a file name ("M1" .. "M4" when the processor gave none).
QString ProposedModeFileName();

/// The file mode slot a file name gives: 0..3 when its title begins with "m1".."m4".
int FileModeSlot(const QString& path);

/// The open command: asks for a file, loads it and sends it to the processor.
void OpenModeFile(QWidget* parent);
/// The save command: stores the current mode, then writes the image into a file.
void SaveModeFile(QWidget* parent);
/// Opens a file from the recent list or the command line. Returns false when the file
/// does not exist or is not a mode file (the recent list then drops it).
bool OpenRecentModeFile(QWidget* parent, const QString& path);
/// Writes the image into path after storing the current mode; reports failures. Returns
/// true on success.
bool StoreAndWriteModeFile(QWidget* parent, const QString& path);

} // namespace kv
