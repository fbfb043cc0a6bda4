#include "shell/AppState.h"

namespace kv {

void AppState::Reset(const OptionRecord& optionRecord) {
    option = optionRecord;
    mainPageSource = 0;
    outputPageChannel = 0;
    zwaveAddMode = 0;
    fileModeSlot = -1;
    presetChoice = 0;
    helpFilePath.clear();
}

AppState& GetAppState() {
    static AppState state;
    return state;
}

} // namespace kv
