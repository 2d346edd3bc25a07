// The application title: the executable's file name up to its first dot, the first letter upper
// case and the rest lower case ("Ombrelin" for OMBRELIN.bin and for ombrelin). It labels the
// taskbar entry and captions the program's message boxes.
#pragma once

#include <QString>

namespace ui {

QString applicationTitle(const QString& executablePath);

}  // namespace ui
