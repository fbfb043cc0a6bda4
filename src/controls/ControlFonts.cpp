#include "controls/ControlFonts.h"

#include <QStringList>

namespace kv {

QFont ControlFont(FontFace face, int pixelSize, bool bold) {
    QFont font;
    switch (face) {
    case FontFace::Arial:
        font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans Condensed", "DejaVu Sans",
                          "WenQuanYi Micro Hei"});
        break;
    case FontFace::SimSun:
        font.setFamilies({"SimSun", QStringLiteral("宋体"), "WenQuanYi Micro Hei",
                          "Noto Sans CJK SC", "DejaVu Sans"});
        break;
    case FontFace::SimHei:
        font.setFamilies({"SimHei", QStringLiteral("黑体"), "WenQuanYi Micro Hei",
                          "Noto Sans CJK SC", "DejaVu Sans"});
        break;
    }
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace kv
