#include "form/main_form.h"

namespace form {

std::vector<std::string> speciesItems(int first, int last) {
    return std::vector<std::string>(std::begin(kSpeciesNames) + first - 1,
                                    std::begin(kSpeciesNames) + last);
}

MainForm::MainForm()
    : cbb1("cbb1", itemTexts(kIntervalClasses), 2, "Частота появления звуков"),
      cbb2("cbb2", itemTexts(kIntervalClasses), 2, "Частота появления звуков"),
      cbb3("cbb3", itemTexts(kRainFrequencies), 0, "Как часто дождь будет идти"),
      cbb4("cbb4", itemTexts(kRainDurations), 0, "Продолжительность дождя"),
      cbb5("cbb5", {}, -1, ""),
      cbb6("cbb6", speciesItems(kFirstDuetSpeciesB, kSpeciesCount), -1, "") {
    RadioButton::group({&rb1, &rb2});
    RadioButton::group({&rb3, &rb4});
    RadioButton::group({&rb5, &rb6});
    RadioButton::group({&rb7, &rb8});
    cbb6.setEnabled(false);
    btn2.setVisible(false);
    btn3.setVisible(false);
}

}  // namespace form
