// Cost of the pages as a user meets them: switching between the main page and the effects
// page (create, language texts, refresh, first paint, as the view does it) and a full refresh
// of the main page from the image (after a read-all or a mode recall).
#include "image/ParamImage.h"
#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "protocol/CommandSink.h"
#include "shell/Language.h"
#include "support/NullSink.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kWidth = 1040;
constexpr int kHeight = 560;

/// Shows a page in a host of the page area's size and paints it once.
template <typename Page>
void ShowOnce(QWidget& host, QImage& surface, int argument) {
    auto* page = new Page(argument, &host);
    page->resize(host.size());
    page->ApplyLanguage();
    page->RefreshFromImage();
    page->show();
    page->render(&surface);
    delete page;
}

void BM_SwitchMainAndEffects(benchmark::State& state) {
    QWidget host;
    host.resize(kWidth, kHeight);
    QImage surface(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    bool main = true;
    for (auto _ : state) {
        if (main) {
            ShowOnce<kv::CDialogMusic>(host, surface, 0);
        } else {
            ShowOnce<kv::CDialogEfx>(host, surface, 2);
        }
        main = !main;
    }
}
BENCHMARK(BM_SwitchMainAndEffects)->Unit(benchmark::kMillisecond);

void BM_MainPageRefresh(benchmark::State& state) {
    QWidget host;
    host.resize(kWidth, kHeight);
    kv::CDialogMusic page(0, &host);
    page.resize(host.size());
    page.ApplyLanguage();
    for (auto _ : state) {
        page.RefreshFromImage();
    }
}
BENCHMARK(BM_MainPageRefresh)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    kv::GetParamImage().InitDefaults();
    kv::LoadCurrentLanguageTable();
    kv::bench::NullSink sink;
    kv::ScopedCommandSink scope(sink);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
