#pragma once

#include "smarthome/ZwaveEvents.h"

#include <string>
#include <vector>

namespace kv::test {

/// The windows as the event handling sees them: every call is recorded as a line.
class RecordingUi : public IZwaveEventUi {
public:
    bool chinese = true;
    int mode = 0;
    bool shown = true;
    std::vector<std::string> calls;

    bool Chinese() const override { return chinese; }
    int AddMode() const override { return mode; }
    bool WaitShown() const override { return shown; }
    void SetWaitText(const std::string& text, std::optional<WaitColour> colour) override {
        std::string line = "text " + text;
        if (colour) {
            line += " (" + std::to_string(colour->red) + "," + std::to_string(colour->green) + "," +
                    std::to_string(colour->blue) + ")";
        }
        calls.push_back(line);
    }
    void StopPendingWait() override { calls.push_back("stop timer"); }
    void CloseWait() override { calls.push_back("close"); }
    void EndWait(int ms) override { calls.push_back("end " + std::to_string(ms)); }
    void ShowInfo(const std::string& text, int ms) override {
        calls.push_back("info " + text + " " + std::to_string(ms));
    }
    void RefreshPages() override { calls.push_back("refresh"); }
    void DeleteKeyFile(int node) override { calls.push_back("key file " + std::to_string(node)); }
    void StoreLearnResult(int node, bool learned) override {
        calls.push_back("key of " + std::to_string(node) + (learned ? " learned" : " not learned"));
    }
};

} // namespace kv::test
