// Every control and timer of the main window, by name, in its initial state. This is the
// program's shared state: the layers, the settings file and the tray read and write it, and the
// Qt window mirrors it. Qt-free so that everything above it runs under virtual time in tests.
#pragma once

#include <string>
#include <vector>

#include "form/controls.h"
#include "form/timer.h"

namespace form {

// List texts shared by the window and the layers.
const std::vector<std::string>& intervalClassItems();  // cbb1, cbb2
const std::vector<std::string>& rainFrequencyItems();  // cbb3
const std::vector<std::string>& rainDurationItems();   // cbb4
const std::vector<std::string>& speciesItems();        // the 14 songbird species, 1..14

struct MainForm {
    MainForm();
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Layer switches.
    CheckBox chk1{"chk1", "Ручей"};
    CheckBox chk2{"chk2", "Птицы вдали"};
    CheckBox chk5{"chk5", "Певчие птицы"};
    CheckBox chk9{"chk9", "Насекомые"};
    CheckBox chk6{"chk6", "+птицы"};
    CheckBox chk7{"chk7", "Дождь"};
    CheckBox chk8{"chk8", "с грозой"};
    CheckBox chk10{"chk10", "Включить звук", true};

    // Layer sliders (0..20 once start-up has set the ranges) and the master slider (0..100).
    TrackBar TrackBar1{"TrackBar1", 5, 14};
    TrackBar trckbr1{"trckbr1", 5, 14};
    TrackBar trckbr6{"trckbr6", 5, 14};
    TrackBar trckbr10{"trckbr10", 5, 14};
    TrackBar trckbr7{"trckbr7", 5, 14};
    TrackBar trckbr9{"trckbr9", 5, 14};
    TrackBar strckbr11{"strckbr11", 0, 24};

    // Radio pairs, each in its panel.
    Label pnl1{"pnl1", ""};
    RadioButton rb1{"rb1", "ручей 1", true};
    RadioButton rb2{"rb2", "ручей 2"};
    Label pnl2{"pnl2", ""};
    RadioButton rb3{"rb3", "птицы 1", true};
    RadioButton rb4{"rb4", "птицы 2"};
    Label pnl3{"pnl3", ""};
    RadioButton rb5{"rb5", "соло", true};
    RadioButton rb6{"rb6", "дуэтом"};
    Label pnl4{"pnl4", ""};
    RadioButton rb7{"rb7", "12 мин", true};
    RadioButton rb8{"rb8", "установить"};

    // Drop-down lists.
    ComboBox cbb1;
    ComboBox cbb2;
    ComboBox cbb3;
    ComboBox cbb4;
    ComboBox cbb5;
    ComboBox cbb6;

    // Buttons: the rain button, and the three that only carry save, load and reset.
    Button btn1{"btn1", "Дождя!"};
    Button btn2{"btn2", "btn2"};
    Button btn3{"btn3", "btn3"};
    Button btn4{"btn4", "btn4"};

    Label Label3{"Label3", "Громкость"};
    Label lbl1{"lbl1", "Поет"};
    Label lbl5{"lbl5", "и"};
    Label Label1{"Label1", "Общий регулятор звука"};

    Timer Timer1{"Timer1", 1000, false};
    Timer tmr2{"tmr2", 1000, false};
    Timer tmr3{"tmr3", 100000, false};
    Timer tmr4{"tmr4", 1000, false};
    Timer tmr5{"tmr5", 1000, true};

    // All timers in a fixed order (the order ties are broken in under virtual time).
    std::vector<Timer*> timers() { return {&Timer1, &tmr2, &tmr3, &tmr4, &tmr5}; }
    std::vector<TrackBar*> layerSliders() {
        return {&TrackBar1, &trckbr1, &trckbr6, &trckbr7, &trckbr9, &trckbr10};
    }
};

}  // namespace form
