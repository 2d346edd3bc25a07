// The application title: the executable's file name up to its first dot, every letter after the
// first in lower case ("Ombrelin" for /opt/ombrelin/OMBRELIN.bin). It labels the taskbar entry
// and captions the program's message boxes.
#pragma once

#include <QString>

namespace ui {

QString applicationTitle(const QString& executablePath);

}  // namespace ui
