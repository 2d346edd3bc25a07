#include "app/form_ombrelin.h"

const char* const kMessageBadVersion = "Не корректная версия BASS.DLL";
const char* const kMessageInitFailed = "Ошибка инициализация аудио";

TForm_Ombrelin::TForm_Ombrelin(FormServices services)
    : engine(services.audio, services.programDir),
      m_services(std::move(services)),
      m_locations(app::findLocations(m_services.programDir, OMBRELIN_DATA_FROM_PROGRAM,
                                     app::Environment::fromProcess())),
      m_brook(
          {form.chk1, form.rb1, form.TrackBar1, engine::Slot::brookChannel, "ruchey3", "ruchey4"},
          engine),
      m_distantBirds({form.chk2, form.rb3, form.trckbr1, engine::Slot::distantBirdsChannel,
                      "pticv1", "pticv2"},
                     engine),
      m_insects({form.chk9, form.cbb1, form.Timer1, form.trckbr10, engine::Slot::insectsChannel,
                 "nas", 8},
                engine),
      m_extraBirds({form.chk6, form.cbb2, form.tmr2, form.trckbr7, engine::Slot::extraBirdsChannel,
                    "pticd", 10},
                   engine),
      m_songbirds({form.chk5, form.rb5, form.rb6, form.cbb5, form.cbb6, form.tmr5, form.trckbr6},
                  engine),
      m_rain({form.btn1, form.tmr4, form.tmr3, form.chk7, form.chk8, form.rb7, form.rb8, form.cbb3,
              form.cbb4, form.trckbr9, form.trckbr6, form.chk5, form.rb5, form.rb6, form.cbb5,
              form.cbb6, form.chk9, form.chk6},
             engine),
      m_master({form.chk10, form.strckbr11}, m_services.volume),
      m_settings(form, m_services.dialogs, m_locations.settingsFile, m_services.appTitle) {
    engine.setSampleRoots(m_locations.sampleRoots);
    m_settings.setStartingFile(m_locations.startingSettings);
    wireEvents();
    // The timers exist, in their initial states, from the window's creation on: the songbird
    // tick already runs.
    for (form::Timer* timer : form.timers()) m_services.timers.attach(*timer);
}

void TForm_Ombrelin::wireEvents() {
    form.chk1.onClick = [this] { chk1Click(); };
    form.rb1.onClick = [this] { chk1Click(); };
    form.rb2.onClick = [this] { chk1Click(); };
    form.TrackBar1.onChange = [this] { TrackBar1Change(); };
    form.chk2.onClick = [this] { chk2Click(); };
    form.rb3.onClick = [this] { chk2Click(); };
    form.rb4.onClick = [this] { chk2Click(); };
    form.trckbr1.onChange = [this] { trckbr1Change(); };

    form.chk9.onClick = [this] { chk9Click(); };
    form.cbb1.onPick = [this] { cbb1Change(); };
    form.Timer1.onTimer = [this] { Timer1Timer(); };
    form.trckbr10.onChange = [this] { trckbr10Change(); };
    form.chk6.onClick = [this] { chk6Click(); };
    form.cbb2.onPick = [this] { cbb2Change(); };
    form.tmr2.onTimer = [this] { tmr2Timer(); };
    form.trckbr7.onChange = [this] { trckbr7Change(); };

    form.chk5.onClick = [this] { chk5Click(); };
    form.rb5.onClick = [this] { chk5Click(); };
    form.rb6.onClick = [this] { chk5Click(); };
    form.cbb5.onPick = [this] { cbb5Click(); };
    form.cbb6.onPick = [this] { cbb6Click(); };
    form.tmr5.onTimer = [this] { tmr5Timer(); };
    form.trckbr6.onChange = [this] { trckbr6Change(); };

    form.chk7.onClick = [this] { chk7Click(); };
    form.chk8.onClick = [this] { chk7Click(); };
    form.rb7.onClick = [this] { chk7Click(); };
    form.rb8.onClick = [this] { chk7Click(); };
    form.cbb3.onPick = [this] { cbb3Change(); };
    form.tmr3.onTimer = [this] { tmr3Timer(); };
    form.btn1.onClick = [this] { btn1Click(); };
    form.tmr4.onTimer = [this] { tmr4Timer(); };
    form.cbb4.onPick = [this] { cbb4Change(); };
    form.trckbr9.onChange = [this] { trckbr9Change(); };

    form.strckbr11.onChange = [this] { strckbr11Change(); };
    form.chk10.onClick = [this] { chk10Click(); };

    form.btn2.onClick = [this] { btn2Click(); };
    form.btn3.onClick = [this] { btn3Click(); };
    form.btn4.onClick = [this] { btn4Click(); };
}

bool TForm_Ombrelin::FormCreate() {
    if (!m_services.ensureSingleInstance || !m_services.ensureSingleInstance()) return false;
    m_settings.settingsError.clear();
    // A user's configuration folder may not exist yet; the close path saves into it. A failure
    // here shows up as the save's own error then.
    app::makeFolderFor(m_locations.settingsFile);

    for (form::TrackBar* slider : form.layerSliders()) {
        slider->setMin(0);
        slider->setMax(form::kLayerSliderMax);
    }
    form.strckbr11.setMin(0);
    form.strckbr11.setMax(form::kMasterSliderMax);

    engine::AudioLibrary& audio = m_services.audio;
    if ((audio.BASS_GetVersion() >> 16) != (engine::kLibraryVersion >> 16)) {
        m_services.dialogs.showMessage(form::MessageKind::StartupError, "", kMessageBadVersion);
        return false;
    }
    if (audio.BASS_Init(-1, 44100, 0, nullptr) == 0) {
        m_services.dialogs.showMessage(form::MessageKind::StartupError, "", kMessageInitFailed);
        return false;
    }

    // Bring the layers up from the settings: load (every changed control runs its handler),
    // fall back to the defaults on any error, then run each switch so that every layer ends in
    // the state its controls show.
    btn3Click();
    if (!m_settings.settingsError.empty()) btn4Click();
    chk1Click();
    chk2Click();
    chk5Click();
    chk9Click();
    chk6Click();
    chk7Click();
    chk10Click();
    return true;
}

void TForm_Ombrelin::FormCloseQuery() {
    btn2Click();
    engine::AudioLibrary& audio = m_services.audio;
    audio.BASS_Stop();
    using engine::Slot;
    for (Slot slot :
         {Slot::brookChannel, Slot::distantBirdsChannel, Slot::songChannelB, Slot::songChannelA,
          Slot::insectsChannel, Slot::extraBirdsChannel, Slot::rainChannel, Slot::thunderChannel})
        audio.BASS_StreamFree(engine.channel(slot));
    audio.BASS_Free();
}
