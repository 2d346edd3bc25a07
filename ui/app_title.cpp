#include "ui/app_title.h"

namespace ui {

QString applicationTitle(const QString& executablePath) {
    QString name = executablePath.mid(executablePath.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    // Capitalised, so the installed lower-case "ombrelin" is titled "Ombrelin" like the
    // portable copy.
    if (!name.isEmpty()) name = name.left(1).toUpper() + name.mid(1).toLower();
    return name;
}

}  // namespace ui
