// Cost of the output page's work per user step: one drag step of an equaliser band with the
// channel linked to its partner (the band recomputed, both channels' record writes and
// biquads built, the changed controls repainted), and a channel switch CH1 -> CH8 (the whole
// page shown again for the new channel).
#include "controls/CEqPanel.h"
#include "image/ParamImage.h"
#include "pages/CDialogOutput.h"
#include "protocol/CommandSink.h"
#include "protocol/Equaliser.h"
#include "shell/AppState.h"
#include "shell/Language.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

/// Counts the commands the protocol builds instead of writing them to a device.
class CountingSink final : public kv::ICommandSink {
public:
    int Write(const kv::Command& command) override {
        ++commands;
        benchmark::DoNotOptimize(command.data());
        return int(command.size());
    }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        return Write(kv::BuildStoreWrite(address, data));
    }
    void Pause(std::chrono::milliseconds) override {}
    long commands = 0;
};

struct Bench {
    Bench() : scope(sink) {
        kv::GetParamImage().InitDefaults();
        for (int c = 0; c < 8; ++c) {
            kv::ResetEq(7 + c);
        }
        kv::GetAppState().option = kv::kDefaultOptionRecord; // CH1+CH2 linked
        kv::SetLanguageIndex(kv::kEnglish);
        kv::LoadCurrentLanguageTable();
        page = std::make_unique<kv::CDialogOutput>(0);
        page->resize(1040, 600);
        page->show();
        panel = static_cast<kv::CEqPanel*>(page->Control(1040));
        image = QImage(page->size(), QImage::Format_ARGB32_Premultiplied);
    }
    void Press(int band) {
        origin = panel->HandlePos(band) + panel->PlotRect().topLeft();
        QMouseEvent press(QEvent::MouseButtonPress, origin, panel->mapToGlobal(origin),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &press);
    }
    void Move(int dy) {
        const QPointF at(origin.x(), origin.y() + dy);
        QMouseEvent move(QEvent::MouseMove, at, panel->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &move);
    }
    void Repaint() {
        QPainter p(&image);
        page->render(&p);
    }

    CountingSink sink;
    kv::ScopedCommandSink scope;
    std::unique_ptr<kv::CDialogOutput> page;
    kv::CEqPanel* panel = nullptr;
    QImage image;
    QPointF origin;
};

/// Counts the paint events the widgets receive.
class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    long paints = 0;
};

void DragStep(Bench& b, int step) {
    b.Move(step % 2 == 0 ? -30 : -10);
}

void Report(benchmark::State& state, const Bench& b, long paints) {
    const auto steps = double(state.iterations());
    state.counters["commands/step"] = benchmark::Counter(double(b.sink.commands) / steps);
    state.counters["paints/step"] = benchmark::Counter(double(paints) / steps);
}

// A step as the window runs it: the move (band recomputed, both channels' commands built,
// the changed controls marked for repaint), then the repaint of what it marked, done by the
// window's backing store.
void BM_LinkedBandDragStep(benchmark::State& state) {
    Bench b;
    QApplication::processEvents();
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    b.Press(2);
    b.sink.commands = 0; // the set-up's equaliser resets are not part of a step
    int step = 0;
    for (auto _ : state) {
        DragStep(b, step++);
        QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
    qApp->removeEventFilter(&counter);
    Report(state, b, counter.paints);
}
BENCHMARK(BM_LinkedBandDragStep)->Unit(benchmark::kMillisecond);

// The move alone, without any painting.
void BM_LinkedBandDragMoveOnly(benchmark::State& state) {
    Bench b;
    b.Press(2);
    b.sink.commands = 0; // the set-up's equaliser resets are not part of a step
    int step = 0;
    for (auto _ : state) {
        DragStep(b, step++);
    }
    Report(state, b, 0);
}
BENCHMARK(BM_LinkedBandDragMoveOnly)->Unit(benchmark::kMillisecond);

// The move with the whole page drawn again into an image, every group box, slider and combo
// included: more than a drag ever repaints, kept as an upper bound.
void BM_LinkedBandDragStepWholePage(benchmark::State& state) {
    Bench b;
    b.Press(2);
    b.sink.commands = 0; // the set-up's equaliser resets are not part of a step
    int step = 0;
    for (auto _ : state) {
        DragStep(b, step++);
        b.Repaint();
    }
    Report(state, b, 0);
}
BENCHMARK(BM_LinkedBandDragStepWholePage)->Unit(benchmark::kMillisecond);

void BM_ChannelSwitch(benchmark::State& state) {
    Bench b;
    int channel = 0;
    for (auto _ : state) {
        channel = channel == 0 ? 7 : 0;
        b.page->SelectChannel(channel);
        b.Repaint();
    }
}
BENCHMARK(BM_ChannelSwitch)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
