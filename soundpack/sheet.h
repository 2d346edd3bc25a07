// The pack at a glance: a spectrogram picture (PNG) of every file and one page with all of them,
// each labelled with its file and what it is, for a person to review the sounds by eye.
#pragma once

#include <string>
#include <vector>

#include "dsp.h"

namespace soundpack {

struct SheetItem {
    std::string file;   // the picture's name, without .png
    std::string label;  // what the picture shows
    Stereo audio;
};

// Writes DIR/<file>.png for every item and DIR/sheet.png with all of them; false with a message.
bool writeSheet(const std::string& dir, const std::vector<SheetItem>& items, std::string* error);

}  // namespace soundpack
