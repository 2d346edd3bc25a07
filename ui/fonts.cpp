#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace ui {
namespace {

QString pickFamily() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::hasFamily(tahoma)) return tahoma;
    bool loaded = false;
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        if (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(tahoma)) loaded = true;
    }
    if (loaded) return tahoma;
    return QStringLiteral("DejaVu Sans Condensed");
}

}  // namespace

QString windowFontFamily() {
    static const QString family = pickFamily();
    return family;
}

QFont windowFont(int pixelSize) {
    QFont font(windowFontFamily());
    font.setFamilies({windowFontFamily(), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace ui
