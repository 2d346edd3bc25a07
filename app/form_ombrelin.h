// The main window's logic without its widgets: owns the controls, the sound layers, the
// settings file and the timers, wires every control event to its handler, and runs start-up
// (FormCreate) and the close path (FormCloseQuery). Qt-free: the program binds a Qt window to
// `form` and drives the timers with Qt; tests drive them with a virtual clock. UI thread only.
#pragma once

#include <functional>
#include <string>

#include "app/locations.h"
#include "engine/audio_library.h"
#include "engine/continuous_layer.h"
#include "engine/master_volume.h"
#include "engine/occasional_layer.h"
#include "engine/rain.h"
#include "engine/songbird_layer.h"
#include "engine/sound_engine.h"
#include "engine/system_volume.h"
#include "form/dialogs.h"
#include "form/main_form.h"
#include "form/timer.h"
#include "settings/settings_file.h"

extern const char* const kMessageBadVersion;  // "Не корректная версия BASS.DLL"
extern const char* const kMessageInitFailed;  // "Ошибка инициализация аудио"

struct FormServices {
    engine::AudioLibrary& audio;
    engine::SystemVolume& volume;
    form::Dialogs& dialogs;
    form::TimerHost& timers;
    std::string programDir;  // the executable's folder, no trailing separator; where the
                             // settings and recordings are found follows from it (app/locations.h)
    std::string appTitle;
    // Takes the single-instance lock; false when another instance holds it (or it cannot be
    // taken), and the program then ends silently.
    std::function<bool()> ensureSingleInstance;
};

class TForm_Ombrelin {
public:
    explicit TForm_Ombrelin(FormServices services);
    TForm_Ombrelin(const TForm_Ombrelin&) = delete;
    TForm_Ombrelin& operator=(const TForm_Ombrelin&) = delete;

    // false: the program must end now with exit code 0 (another instance runs, or the audio
    // library could not be started; the message has been shown).
    bool FormCreate();
    // Every close request: save the settings (a failed save is shown, the close goes on), stop
    // the audio library, free every slot, free the library.
    void FormCloseQuery();

    // Handlers, as wired to the controls.
    void chk1Click() { m_brook.switchClick(); }
    void chk2Click() { m_distantBirds.switchClick(); }
    void TrackBar1Change() { m_brook.volumeChange(); }
    void trckbr1Change() { m_distantBirds.volumeChange(); }
    void chk9Click() { m_insects.switchClick(); }
    void cbb1Change() { m_insects.classChange(); }
    void Timer1Timer() { m_insects.tick(); }
    void trckbr10Change() { m_insects.volumeChange(); }
    void chk6Click() { m_extraBirds.switchClick(); }
    void cbb2Change() { m_extraBirds.classChange(); }
    void tmr2Timer() { m_extraBirds.tick(); }
    void trckbr7Change() { m_extraBirds.volumeChange(); }
    void chk5Click() { m_songbirds.chk5Click(); }
    void cbb5Click() { m_songbirds.cbb5Click(); }
    void cbb6Click() { m_songbirds.cbb6Click(); }
    void tmr5Timer() { m_songbirds.tmr5Timer(); }
    void trckbr6Change() { m_songbirds.trckbr6Change(); }
    void chk7Click() { m_rain.chk7Click(); }
    void cbb3Change() { m_rain.cbb3Change(); }
    void tmr3Timer() { m_rain.tmr3Timer(); }
    void btn1Click() { m_rain.btn1Click(); }
    void tmr4Timer() { m_rain.tmr4Timer(); }
    void cbb4Change() { m_rain.cbb4Change(); }
    void trckbr9Change() { m_rain.trckbr9Change(); }
    void strckbr11Change() { m_master.strckbr11Change(); }
    void chk10Click() { m_master.chk10Click(); }
    void btn2Click() { m_settings.btn2Click(); }
    void btn3Click() { m_settings.btn3Click(); }
    void btn4Click() { m_settings.btn4Click(); }
    // The tray icon's left click.
    void toggleSound() { m_master.toggleSound(); }

    form::MainForm form;
    engine::SoundEngine engine;

    engine::OccasionalLayer& insects() { return m_insects; }
    engine::OccasionalLayer& extraBirds() { return m_extraBirds; }
    engine::SongbirdLayer& songbirds() { return m_songbirds; }
    engine::RainLayer& rain() { return m_rain; }
    engine::MasterVolume& master() { return m_master; }
    settings::SettingsFile& settingsFile() { return m_settings; }
    const app::Locations& locations() const { return m_locations; }

private:
    void wireEvents();

    FormServices m_services;
    app::Locations m_locations;
    engine::ContinuousLayer m_brook;
    engine::ContinuousLayer m_distantBirds;
    engine::OccasionalLayer m_insects;
    engine::OccasionalLayer m_extraBirds;
    engine::SongbirdLayer m_songbirds;
    engine::RainLayer m_rain;
    engine::MasterVolume m_master;
    settings::SettingsFile m_settings;
};
