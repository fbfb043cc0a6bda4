#pragma once

#include <QString>

namespace kv {

/// Runs scene request (0..5) on the scene thread behind the synchronisation dialog with text,
/// after checking that a processor is connected. The dialog waits as long as the scene can
/// take, so that a long scene is not reported as a failed synchronisation.
void RunSceneBehindSyncDialog(int request, const QString& text);

} // namespace kv
