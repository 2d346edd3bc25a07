#include "form/main_form.h"

namespace form {

const std::vector<std::string>& intervalClassItems() {
    static const std::vector<std::string> items{"2-7 секунд", "10-20 секунд", "20-70 секунд",
                                                "70-140 секунд", "200-300 секунд"};
    return items;
}

const std::vector<std::string>& rainFrequencyItems() {
    static const std::vector<std::string> items{"раз в 30 минут", "раз в 60 минут",
                                                "раз в 90 минут", "раз в 120 минут"};
    return items;
}

const std::vector<std::string>& rainDurationItems() {
    static const std::vector<std::string> items{"5-10 минут", "10-15 минут", "15-30 минут",
                                                "30-60 минут", "навсегда"};
    return items;
}

const std::vector<std::string>& speciesItems() {
    static const std::vector<std::string> items{"1-Варакушка",
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
    return items;
}

MainForm::MainForm()
    : cbb1("cbb1", intervalClassItems(), 2, "Частота появления звуков"),
      cbb2("cbb2", intervalClassItems(), 2, "Частота появления звуков"),
      cbb3("cbb3", rainFrequencyItems(), 0, "Как часто дождь будет идти"),
      cbb4("cbb4", rainDurationItems(), 0, "Продолжительность дождя"),
      cbb5("cbb5", {}, -1, ""),
      cbb6("cbb6", std::vector<std::string>(speciesItems().begin() + 7, speciesItems().end()), -1,
           "") {
    RadioButton::group({&rb1, &rb2});
    RadioButton::group({&rb3, &rb4});
    RadioButton::group({&rb5, &rb6});
    RadioButton::group({&rb7, &rb8});
    cbb6.setEnabled(false);
    btn2.setVisible(false);
    btn3.setVisible(false);
}

}  // namespace form
