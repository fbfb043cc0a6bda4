#include "GalleryWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kvgallery");
    QCommandLineParser parser;
    parser.setApplicationDescription("Gallery of the KV Controller graphic controls");
    parser.addHelpOption();
    QCommandLineOption shots("screenshot", "Write every page in both languages to <dir> and exit.",
                             "dir");
    QCommandLineOption lang("lang",
                            "Start in language <zh|en> (default: Chinese when the system's "
                            "language is Chinese, else English).",
                            "lang");
    QCommandLineOption page("page", "Start on page <0..2>.", "page", "0");
    parser.addOptions({shots, lang, page});
    parser.process(app);

    kv::GalleryWindow window;
    const QString language =
        parser.isSet(lang) ? parser.value(lang) : QLocale().uiLanguages().value(0).left(2);
    window.SetLanguage(language == "zh" ? 0 : 1);
    window.ShowPage(parser.value(page).toInt());
    if (parser.isSet(shots)) {
        const bool ok = window.SaveScreenshots(parser.value(shots));
        std::fprintf(ok ? stdout : stderr, ok ? "screenshots written\n" : "screenshot failed\n");
        return ok ? 0 : 1;
    }
    window.show();
    return QApplication::exec();
}
