// The master slider and the sound switch: they set the system output level (the slider's
// position x 650 on both channels) or mute it to 0. Neither touches the streams: the layers
// go on playing and only the device level changes.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/system_volume.h"
#include "form/controls.h"

namespace engine {

// The level word for a master slider position: v = position x 650 on both channels.
uint32_t masterVolumeWord(int position);

struct MasterVolumeConfig {
    form::CheckBox& sw;            // the sound switch
    const form::TrackBar& slider;  // the master slider, 0..100
};

class MasterVolume {
public:
    MasterVolume(MasterVolumeConfig config, SystemVolume& system) : m_c(config), m_system(system) {}

    void strckbr11Change();
    void chk10Click();
    // The tray's click: flip the sound switch (which runs chk10Click) and apply it once more.
    void toggleSound();

    // Told the tray image that matches the switch after every chk10Click: 0 off, 1 on.
    std::function<void(int)> onTrayImage;

private:
    MasterVolumeConfig m_c;
    SystemVolume& m_system;
};

}  // namespace engine
