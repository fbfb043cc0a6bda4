// Cost of the equaliser panel's work per drag step: recomputing the dragged band (one
// band, or the crossover with its three sections), summing the total curve, repainting
// the panel at 1280 x 400, and the whole step as the panel runs it for a pointer move.
#include "controls/CEqPanel.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 400;

/// A 10-band microphone panel (or a channel panel with its crossover) with varied bands,
/// band 3 selected, as a user leaves it mid-drag.
std::unique_ptr<kv::CEqPanel> MakePanel(bool channel) {
    auto panel = std::make_unique<kv::CEqPanel>();
    panel->resize(kWidth, kHeight);
    panel->SetKind(channel ? 7 : 0);
    panel->SetBandCount(10);
    if (channel) {
        panel->SetBandCount(13);
        panel->Band(9).freqHz = 80.0f;
        panel->ApplyBandType(9, 3);
        panel->SetCrossoverSlope(9, 3);
    }
    const float gains[] = {3, -2, 4.5f, 6, -3, 2, -6, 1.5f, 3};
    for (int i = 0; i < 9; ++i) {
        panel->SetBandGain(gains[i], i);
    }
    panel->SetSelected(3);
    return panel;
}

void BM_RecalcBand(benchmark::State& state) {
    auto panel = MakePanel(false);
    float gain = 0;
    for (auto _ : state) {
        panel->Band(3).gainDb = gain;
        panel->RecalcBand(3);
        gain = gain > 10 ? -10 : gain + 0.1f;
        benchmark::DoNotOptimize(panel->Band(3).response[100]);
    }
}
BENCHMARK(BM_RecalcBand);

void BM_RecalcCrossover(benchmark::State& state) {
    auto panel = MakePanel(true);
    float freq = 60;
    for (auto _ : state) {
        panel->Band(9).freqHz = freq;
        panel->RecalcBand(9);
        freq = freq > 200 ? 60 : freq + 1;
        benchmark::DoNotOptimize(panel->Band(12).response[100]);
    }
}
BENCHMARK(BM_RecalcCrossover);

void BM_TotalCurve(benchmark::State& state) {
    auto panel = MakePanel(true);
    for (auto _ : state) {
        float sum = 0;
        for (int i = 0; i < kv::kEqResponsePoints; ++i) {
            sum += panel->TotalResponse(i);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_TotalCurve);

/// An off-screen surface of the panel's size at its device pixel ratio (run the benchmark
/// with QT_SCALE_FACTOR=2 for a HiDPI screen: 2560 x 800 pixels).
QImage Surface(const kv::CEqPanel& panel) {
    const qreal dpr = panel.devicePixelRatioF();
    QImage image(panel.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    return image;
}

/// One full repaint into an off-screen image the size of the panel.
void Repaint(benchmark::State& state, bool channel) {
    auto panel = MakePanel(channel);
    QImage image = Surface(*panel);
    for (auto _ : state) {
        QPainter p(&image);
        panel->Render(p);
    }
}

BENCHMARK_CAPTURE(Repaint, mic, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Repaint, channel, true)->Unit(benchmark::kMicrosecond);

/// The whole drag step: a pointer move event handled by the panel (new frequency and
/// gain, recompute, notification to a host) followed by the repaint it asks for.
void DragStep(benchmark::State& state, bool channel) {
    auto panel = MakePanel(channel);
    const int band = channel ? 9 : 3;
    int notifications = 0;
    QObject::connect(panel.get(), &kv::CEqPanel::bandChanged,
                     [&notifications](const kv::EqPanelBand&, int) { ++notifications; });
    QImage image = Surface(*panel);
    const QPoint handle =
        panel->HandlePos(band) + QPoint(kv::CEqPanel::kPlotLeft, kv::CEqPanel::kPlotTop);
    QMouseEvent press(QEvent::MouseButtonPress, handle, handle, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(panel.get(), &press);
    int dx = 0;
    for (auto _ : state) {
        dx = dx >= 300 ? -300 : dx + 3;
        const QPointF at(handle.x() + dx, handle.y() + dx / 10);
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel.get(), &move);
        QPainter p(&image);
        panel->Render(p);
    }
    state.counters["notifications"] = benchmark::Counter(double(notifications));
    state.counters["dpr"] = panel->devicePixelRatioF();
}

BENCHMARK_CAPTURE(DragStep, mic, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DragStep, crossover, true)->Unit(benchmark::kMicrosecond);

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
