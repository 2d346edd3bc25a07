// The window's typeface. The layout was designed around Tahoma's metrics; Debian's fonts-wine
// ships a free Tahoma with Cyrillic, which is loaded when the system has none. Without it the
// window falls back to DejaVu Sans Condensed: not metric-compatible, but of all the commonly
// installed Cyrillic faces its advance widths come closest to Tahoma's, so the captions still fit
// their controls. UI thread only.
#pragma once

#include <QFont>
#include <QString>

namespace ui {

// The family the window uses; the first call loads the Tahoma files if needed.
QString windowFontFamily();
// The window font at a given pixel height (character height, not cell height).
QFont windowFont(int pixelSize);

}  // namespace ui
