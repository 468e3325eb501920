#include "app/qt/window_fonts.h"

#include <QStringList>

namespace {

constexpr int kWindowFontPixels = 11;
constexpr int kTitleFontPixels = 16;

}  // namespace

QFont WindowFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(kWindowFontPixels);
    return font;
}

QFont TitleFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kTitleFontPixels);
    font.setBold(true);
    return font;
}

void InstallFontFallbacks() {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arial")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
}
