// Start-up as a user meets it with "kvcontrol --simulate": the time from starting the
// application to the main window's first paint, and to a processor connected, read and
// shown. Both are printed beside their goals (150 ms and 500 ms) as ratios.

#include "pages/OutputPages.h"
#include "pages/PageSwitch.h"
#include "shell/CMX2240v13App.h"
#include "shell/CMX2240v13View.h"
#include "shell/CMainFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <optional>

namespace {

constexpr double kFirstPaintGoalMs = 150.0;
constexpr double kReadyGoalMs = 500.0;
constexpr int kGiveUpMs = 10000;

/// Notes the time of the first paint of the watched window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer& clock) : m_clock(clock) {}
    std::optional<double> ms;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !ms) {
            ms = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& m_clock;
};

void BM_StartUpSimulated(benchmark::State& state) {
    double paintSum = 0;
    double readySum = 0;
    int runs = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        kv::CMX2240v13App::Options options;
        options.simulate = true;
        options.settingsPath = dir.filePath(QStringLiteral("settings.ini"));
        options.instanceKey =
            QStringLiteral("kvbench-") + QUuid::createUuid().toString(QUuid::Id128);
        QElapsedTimer clock;
        FirstPaint paint(clock);
        std::optional<double> ready;
        QEventLoop loop;
        clock.start();
        {
            kv::CMX2240v13App app;
            int exitCode = 0;
            // The window is watched from its creation on: the filter goes on the application.
            qApp->installEventFilter(&paint);
            if (!app.InitInstance(options, exitCode)) {
                state.SkipWithError("the application did not start");
                qApp->removeEventFilter(&paint);
                break;
            }
            QObject::connect(app.MainFrame()->View(), &kv::CMX2240v13View::synchronised, &loop,
                             [&] {
                                 ready = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                                 loop.quit();
                             });
            QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
            loop.exec();
            qApp->removeEventFilter(&paint);
            state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
            app.ExitInstance();
        }
        if (!paint.ms || !ready) {
            state.SkipWithError("no paint, or the simulated processor was not read in time");
            break;
        }
        paintSum += *paint.ms;
        readySum += *ready;
        ++runs;
    }
    if (runs > 0) {
        const double paintMs = paintSum / runs;
        const double readyMs = readySum / runs;
        state.counters["first_paint_ms"] = paintMs;
        state.counters["ready_ms"] = readyMs;
        state.counters["paint/goal"] = paintMs / kFirstPaintGoalMs;
        state.counters["ready/goal"] = readyMs / kReadyGoalMs;
    }
}
BENCHMARK(BM_StartUpSimulated)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    kv::RegisterPages();
    kv::RegisterOutputPages();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
