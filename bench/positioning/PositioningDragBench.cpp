// Cost of one drag step on the positioning panel, and of its parts: a pointer move handled
// by the panel, the geometry stored and packed, the distance trims recomputed and every
// command built (routing block, extension block, level pairs), and the repaint of the
// panel. A speaker moves only its own trim; the listener recomputes all eight.
#include "controls/CSSVolumePanel.h"
#include "image/ParamImage.h"
#include "protocol/CommandSink.h"
#include "protocol/PositionTrims.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

constexpr int kSize = 480;

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
        // One speaker per channel, so that a listener step trims all eight.
        for (int c = 0; c < 8; ++c) {
            kv::GetParamImage().SetInt(kv::fields::outRole, c, c);
        }
        panel.resize(kSize, kSize);
        const kv::RoomGeometry g = kv::GetParamImage().Geometry();
        panel.SetRoomSize(float(g.width), float(g.length));
        panel.SetMarkerPosition(0, g.listenerX, g.listenerY);
        for (int k = 0; k < 8; ++k) {
            panel.SetMarkerPosition(k + 1, g.speakerX[std::size_t(k)], g.speakerY[std::size_t(k)]);
        }
        QObject::connect(
            &panel, &kv::CSSVolumePanel::markerMoved,
            [](const kv::CSSVolumePanel::Marker& m) { kv::MovePositionMarker(m.index, m.X, m.Y); });
        image = QImage(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    }
    void Press(int marker) {
        const auto& m = panel.MarkerAt(marker);
        const QPointF at(m.x, m.y);
        QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&panel, &press);
        origin = QPoint(m.x, m.y);
    }
    void Move(int dx) {
        const QPointF at(origin.x() + dx, origin.y() - dx / 2);
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&panel, &move);
    }
    void Repaint() {
        QPainter p(&image);
        panel.render(&p);
    }

    CountingSink sink;
    kv::ScopedCommandSink scope;
    kv::CSSVolumePanel panel;
    QImage image;
    QPoint origin;
};

void BM_Repaint(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        b.Repaint();
    }
}
BENCHMARK(BM_Repaint)->Unit(benchmark::kMicrosecond);

/// Geometry, routing and trims with their commands, without the panel.
void BM_MoveMarker(benchmark::State& state) {
    Bench b;
    const int marker = int(state.range(0));
    float x = -1.5f;
    for (auto _ : state) {
        x = x > 1.5f ? -1.5f : x + 0.01f;
        kv::MovePositionMarker(marker, x, 0.5f);
    }
    state.counters["commands/step"] =
        benchmark::Counter(double(b.sink.commands) / double(state.iterations()));
}
BENCHMARK(BM_MoveMarker)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

/// The whole step: pointer move, store, trims, commands, repaint.
void BM_DragStep(benchmark::State& state) {
    Bench b;
    b.Press(int(state.range(0)));
    int dx = 0;
    for (auto _ : state) {
        dx = dx >= 120 ? -120 : dx + 2;
        b.Move(dx);
        b.Repaint();
    }
    state.counters["commands/step"] =
        benchmark::Counter(double(b.sink.commands) / double(state.iterations()));
}
BENCHMARK(BM_DragStep)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

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
