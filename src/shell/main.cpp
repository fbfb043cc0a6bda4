#include "pages/PageSwitch.h"
#include "remote/CRemoteDlg.h"
#include "shell/CMX2240v13App.h"
#include "smarthome/CDialogHomeTheater.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kv::RegisterRemoteWindows();
    kv::RegisterSmartHomeWindows();
    kv::RegisterPages();
    kv::CMX2240v13App app;
    int exitCode = 0;
    if (!app.InitInstance(kv::CMX2240v13App::ParseCommandLine(application.arguments()), exitCode)) {
        return exitCode;
    }
    const int result = QApplication::exec();
    app.ExitInstance();
    return result;
}
