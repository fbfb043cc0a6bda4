#include "shell/CMX2240v13App.h"

#include "image/ParamImage.h"
#include "shell/AppSettings.h"
#include "shell/AppState.h"
#include "shell/CMX2240v13View.h"
#include "shell/CMainFrame.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/ShellResources.h"
#include "shell/SingleInstance.h"
#include "shell/UiServices.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QLocale>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace kv {

CMX2240v13App::CMX2240v13App() = default;

CMX2240v13App::~CMX2240v13App() {
    ExitInstance();
}

CMX2240v13App::Options CMX2240v13App::ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("KV Controller"));
    parser.addHelpOption();
    // --version prints "kvcontrol 2.0.9" (the name is the program's until the look is set).
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0.9"));
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start a simulated processor in the application and connect to it."));
    parser.addOption(simulate);
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window once the processor is read, then end."),
        QStringLiteral("file.png"));
    parser.addOption(screenshot);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A mode file to open."),
                                 QStringLiteral("[file.amod]"));
    parser.process(arguments);
    Options options;
    options.simulate = parser.isSet(simulate);
    options.screenshot = parser.value(screenshot);
    if (!parser.positionalArguments().isEmpty()) {
        options.file = parser.positionalArguments().constFirst();
    }
    return options;
}

void ApplyApplicationLook() {
    InitShellResources();
    QApplication::setApplicationName(QStringLiteral("Controller v2.0"));
    QApplication::setOrganizationName(QStringLiteral("KV5930Q V1.0"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.9"));
    QApplication::setDesktopFileName(QStringLiteral("kvcontrol"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/kvcontrol.svg")));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(13);
    QApplication::setFont(font);
    QFile sheet(QStringLiteral(":/app/kvcontrol.qss"));
    if (sheet.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
}

bool CMX2240v13App::InitInstance(const Options& options, int& exitCode) {
    exitCode = 0;
    GetAppState().Reset(kDefaultOptionRecord);
    ApplyApplicationLook();

    m_instance = std::make_unique<SingleInstance>(options.instanceKey);
    switch (m_instance->Start()) {
    case SingleInstance::Result::Primary:
        break;
    case SingleInstance::Result::Secondary:
        return false;
    case SingleInstance::Result::NoWindow:
        ShowMessage(nullptr, QStringLiteral("已有一个实例在运行，但找不到它的主窗口！"),
                    QStringLiteral("Controller v2.0.9"), BoxIcon::Warning);
        exitCode = 1;
        return false;
    case SingleInstance::Result::Failed:
        ShowMessage(nullptr, QStringLiteral("创建信标对象失败，程序退出！"),
                    QStringLiteral("Controller v2.0.9"), BoxIcon::Error);
        exitCode = 1;
        return false;
    }

    m_settings = options.settingsPath.isEmpty()
                     ? std::make_unique<AppSettings>()
                     : std::make_unique<AppSettings>(options.settingsPath);
    // The image is filled with its defaults and the settings read before the first window.
    GetParamImage().InitDefaults();
    // A stored language wins; until the user first switches, the system's language decides.
    SetLanguageIndex(m_settings->HasLanguage() ? m_settings->Language()
                                               : LanguageForLocale(QLocale()));
    GetAppState().option = m_settings->QtOption();

    m_frame = std::make_unique<CMainFrame>(*m_settings);
    QObject::connect(m_instance.get(), &SingleInstance::raiseRequested, m_frame.get(),
                     &CMainFrame::BringToFront);
    m_frame->View()->ShowPage(PageKind::Main, GetAppState().mainPageSource);
    m_frame->ApplyLanguage();
    m_frame->RefreshAll();

    if (options.simulate) {
        m_simulating = device::StartSimulator();
        if (!m_simulating) {
            qWarning("kvcontrol: this build has no simulator; looking for a real processor");
        }
    }
    m_frame->View()->StartConnection();
    if (!options.file.isEmpty()) {
        m_frame->OpenWhenReady(options.file);
    }
    if (options.show) {
        m_frame->show();
    }
    if (!options.screenshot.isEmpty()) {
        ScreenshotAndQuit(options.screenshot);
    }
    return true;
}

void CMX2240v13App::ScreenshotAndQuit(const QString& path) {
    constexpr int kSettleMs = 500;
    constexpr int kNoProcessorMs = 15000;
    auto take = [this, path, done = std::make_shared<bool>(false)] {
        if (*done) {
            return;
        }
        *done = true;
        const bool saved = m_frame->grab().save(path);
        std::fprintf(stderr, saved ? "kvcontrol: saved %s\n" : "kvcontrol: cannot write %s\n",
                     qPrintable(path));
        QApplication::exit(saved ? 0 : 1);
    };
    QObject::connect(m_frame->View(), &CMX2240v13View::synchronised, m_frame.get(),
                     [take] { QTimer::singleShot(kSettleMs, take); });
    QTimer::singleShot(kNoProcessorMs, m_frame.get(), take);
}

void CMX2240v13App::ExitInstance() {
    if (m_frame) {
        m_frame->View()->Disconnect();
        m_frame.reset();
    }
    if (m_simulating) {
        device::StopSimulator();
        m_simulating = false;
    }
    if (m_settings) {
        m_settings->Sync();
    }
    m_instance.reset();
}

} // namespace kv
