// Every control and timer of the main window, by name, in its initial state. This is the
// program's shared state: the layers, the settings file and the tray read and write it, and the
// Qt window mirrors it. Qt-free so that everything above it runs under virtual time in tests.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "form/controls.h"
#include "form/timer.h"

namespace form {

// The drop-down lists: each row is an item's text and the range it stands for in the layer that
// reads it, so a list's texts, its length and its ranges are stated once.
struct RangedItem {
    const char* text;
    int32_t low;
    int32_t high;  // exclusive
};
// cbb1, cbb2: seconds of waiting between two insect or extra-bird sounds.
inline constexpr RangedItem kIntervalClasses[] = {{"2-7 секунд", 2, 7},
                                                  {"10-20 секунд", 10, 20},
                                                  {"20-70 секунд", 20, 70},
                                                  {"70-140 секунд", 70, 140},
                                                  {"200-300 секунд", 200, 300}};
// cbb3: rain-free 100-second ticks before the next scheduled rain.
inline constexpr RangedItem kRainFrequencies[] = {{"раз в 30 минут", 6, 18},
                                                  {"раз в 60 минут", 18, 36},
                                                  {"раз в 90 минут", 36, 54},
                                                  {"раз в 120 минут", 54, 72}};
// cbb4: a set-duration rain's length in units of 100 s; "навсегда" draws 40 units and is never
// counted down.
inline constexpr RangedItem kRainDurations[] = {{"5-10 минут", 3, 6},
                                                {"10-15 минут", 6, 9},
                                                {"15-30 минут", 9, 18},
                                                {"30-60 минут", 18, 36},
                                                {"навсегда", 40, 40}};
inline constexpr int kRainDurationForever = 4;

// The row a list shows of its table; nullptr when no row is selected.
template <size_t N>
const RangedItem* selectedRow(const RangedItem (&table)[N], const ComboBox& list) {
    const int index = list.itemIndex();
    return index >= 0 && index < static_cast<int>(N) ? &table[index] : nullptr;
}

// The songbird species, numbered 1..14 by their place here (recording pticpN).
inline constexpr const char* kSpeciesNames[] = {"1-Варакушка",
                                                "2-Дрозд певчий",
                                                "3-Дрозд черный",
                                                "4-Жаворонок",
                                                "5-Зарянка",
                                                "6-Зяблик",
                                                "7-Камышовка",
                                                "8-Коноплянка",
                                                "9-Овсянка",
                                                "10-Славка садовая",
                                                "11-Славка черноголовка",
                                                "12-Соловей",
                                                "13-Чиж",
                                                "14-Щегол"};
inline constexpr int kSpeciesCount = static_cast<int>(std::size(kSpeciesNames));
// In a duet voice A sings species 1..7 and voice B the rest.
inline constexpr int kFirstDuetSpeciesB = 8;

// Slider ranges, set at start-up: the six layer sliders and the master slider.
inline constexpr int kLayerSliderMax = 20;
inline constexpr int kMasterSliderMax = 100;

// The texts of a list table, as the list box shows them.
template <typename Row, size_t N>
std::vector<std::string> itemTexts(const Row (&table)[N]) {
    std::vector<std::string> texts;
    for (const Row& row : table) texts.emplace_back(row.text);
    return texts;
}
// Species first..last (1-based, inclusive) as list items.
std::vector<std::string> speciesItems(int first, int last);

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
