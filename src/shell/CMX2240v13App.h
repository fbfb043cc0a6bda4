#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace kv {

class AppSettings;
class CMainFrame;
class SingleInstance;

/// The application object: runs the start-up in its order (look and feel, single instance,
/// settings, main window and view, image defaults, main page, language, first connection)
/// on the QApplication that main() created.
class CMX2240v13App {
public:
    /// The name a second start looks for.
    static constexpr const char* kInstanceKey = "KV593 V1.0";

    struct Options {
        bool simulate = false; ///< start an in-process simulated processor
        QString file;          ///< a mode file named on the command line
        QString settingsPath;  ///< an INI file instead of the per-user store (tests)
        QString instanceKey = QString::fromLatin1(kInstanceKey);
        bool show = true;
        /// Save a picture of the main window once the processor is read (or after 15 s
        /// without one) and end.
        QString screenshot;
    };

    CMX2240v13App();
    ~CMX2240v13App();
    CMX2240v13App(const CMX2240v13App&) = delete;
    CMX2240v13App& operator=(const CMX2240v13App&) = delete;

    /// Parses "kvcontrol [--simulate] [--screenshot file.png] [file]".
    static Options ParseCommandLine(const QStringList& arguments);

    /// Starts the application. Returns false when it must end at once (another instance
    /// runs, or the single-instance lock failed); exitCode then tells how.
    bool InitInstance(const Options& options, int& exitCode);
    /// Undoes the start-up: closes the device, stops the simulator.
    void ExitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    void ScreenshotAndQuit(const QString& path);

    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<CMainFrame> m_frame;
    bool m_simulating = false;
};

/// Look and feel of the application: style, fonts, the style sheet, the icon.
void ApplyApplicationLook();

} // namespace kv
