#include "pages/OutputPages.h"
#include "pages/PageSwitch.h"
#include "remote/CRemoteDlg.h"
#include "settings/CSetDlg.h"
#include "settings/SettingsWindows.h"
#include "shell/CMX2240v13App.h"
#include "smarthome/CDialogHomeTheater.h"
#include "smarthome/ZwaveDevices.h"

#include <QApplication>

#include <cstring>

namespace {

/// True when the command line only asks for the help or the version text, which needs no
/// display (so that it also answers over ssh or in a script).
bool OnlyAsksForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (OnlyAsksForText(argc, argv)) {
        QCoreApplication text(argc, argv);
        // Prints the text and ends the process.
        kv::CMX2240v13App::ParseCommandLine(text.arguments());
        return 0;
    }
    QApplication application(argc, argv);
    kv::RegisterRemoteWindows();
    kv::RegisterSmartHomeWindows();
    kv::RegisterPages();
    kv::RegisterOutputPages();
    kv::RegisterSettingsWindows();
    kv::SetPlugDataReset(&kv::StartZwaveReset);
    kv::CMX2240v13App app;
    int exitCode = 0;
    if (!app.InitInstance(kv::CMX2240v13App::ParseCommandLine(application.arguments()), exitCode)) {
        return exitCode;
    }
    const int result = QApplication::exec();
    app.ExitInstance();
    return result;
}
