#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <map>

namespace {

using form::MainForm;
using ui::MainWindow;

// The window as start-up leaves it before the settings load: layer sliders 0..20, master 0..100.
struct WindowFixture : ::testing::Test {
    MainForm form;
    std::map<std::string, int> runs;  // handler runs per control name

    WindowFixture() {
        for (form::TrackBar* t : form.layerSliders()) t->setMax(20);
        form.strckbr11.setMax(100);
    }

    // Counts every handler run of every control.
    void countHandlers() {
        for (form::CheckBox* c : {&form.chk1, &form.chk2, &form.chk5, &form.chk9, &form.chk6,
                                  &form.chk7, &form.chk8, &form.chk10})
            c->onClick = [this, c] { ++runs[c->name()]; };
        for (form::RadioButton* r : {&form.rb1, &form.rb2, &form.rb3, &form.rb4, &form.rb5,
                                     &form.rb6, &form.rb7, &form.rb8})
            r->onClick = [this, r] { ++runs[r->name()]; };
        for (form::TrackBar* t : form.layerSliders())
            t->onChange = [this, t] { ++runs[t->name()]; };
        form.strckbr11.onChange = [this] { ++runs["strckbr11"]; };
        for (form::ComboBox* c :
             {&form.cbb1, &form.cbb2, &form.cbb3, &form.cbb4, &form.cbb5, &form.cbb6})
            c->onPick = [this, c] { ++runs[c->name()]; };
        for (form::Button* b : {&form.btn1, &form.btn2, &form.btn3, &form.btn4})
            b->onClick = [this, b] { ++runs[b->name()]; };
    }

    template <class W>
    static W* get(const MainWindow& w, const char* name) {
        W* widget = qobject_cast<W*>(w.widgetFor(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

TEST_F(WindowFixture, GeometryAndFontsScaleWithDpi) {
    struct Place {
        const char* name;
        int x, y, w, h;  // at 120 dpi, relative to the parent (window or panel)
    };
    const Place places[] = {
        {"TrackBar1", 140, 25, 118, 19},  {"chk2", 13, 65, 124, 20},   {"pnl3", 268, 105, 180, 24},
        {"rb2", 90, 1, 83, 23},           {"rb6", 92, 1, 71, 23},      {"rb8", 90, 1, 104, 23},
        {"cbb3", 365, 261, 135, 23},      {"cbb6", 290, 137, 200, 22}, {"btn1", 13, 300, 124, 30},
        {"strckbr11", 177, 346, 180, 33}, {"btn4", 568, 120, 65, 41},  {"Label1", 13, 351, 156, 17},
        {"lbl5", 270, 140, 8, 17},
    };
    for (double scale : {1.0, 0.8, 1.5}) {
        SCOPED_TRACE(scale);
        MainWindow w(form, scale);
        auto s = [scale](int v) { return int(std::lround(v * scale)); };
        EXPECT_EQ(w.size(), QSize(s(522), s(405)));
        EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "resizable";
        for (const Place& p : places)
            EXPECT_EQ(w.widgetFor(p.name)->geometry(), QRect(s(p.x), s(p.y), s(p.w), s(p.h)))
                << p.name;
        EXPECT_EQ(w.widgetFor("chk1")->font().pixelSize(), s(14));
        EXPECT_EQ(w.widgetFor("cbb5")->font().pixelSize(), s(14));
        EXPECT_EQ(w.widgetFor("cbb6")->font().pixelSize(), s(15));
        EXPECT_EQ(w.widgetFor("trckbr9")->property("thumbLength").toInt(), s(14));
        EXPECT_EQ(w.widgetFor("strckbr11")->property("thumbLength").toInt(), s(24));
        // The slider's own geometry must honour the thumb length (it maps clicks with it).
        auto* master = get<QSlider>(w, "strckbr11");
        EXPECT_EQ(master->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, master), s(24));
    }
}

TEST_F(WindowFixture, TextsListsAndItemHeights) {
    MainWindow w(form, 1.0);
    EXPECT_EQ(w.windowTitle(), "Ombrelin");
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w.windowIcon().isNull());

    const std::map<std::string, QString> texts = {
        {"chk1", "Ручей"},
        {"chk2", "Птицы вдали"},
        {"chk5", "Певчие птицы"},
        {"chk6", "+птицы"},
        {"chk7", "Дождь"},
        {"chk8", "с грозой"},
        {"chk9", "Насекомые"},
        {"chk10", "Включить звук"},
        {"rb1", "ручей 1"},
        {"rb2", "ручей 2"},
        {"rb3", "птицы 1"},
        {"rb4", "птицы 2"},
        {"rb5", "соло"},
        {"rb6", "дуэтом"},
        {"rb7", "12 мин"},
        {"rb8", "установить"},
        {"btn1", "Дождя!"},
        {"btn4", "btn4"},
        {"Label3", "Громкость"},
        {"lbl1", "Поет"},
        {"lbl5", "и"},
        {"Label1", "Общий регулятор звука"},
    };
    for (const auto& [name, text] : texts) {
        QWidget* widget = w.widgetFor(name);
        ASSERT_NE(widget, nullptr) << name;
        const QVariant shown = widget->property("text");
        EXPECT_EQ(shown.toString(), text) << name;
    }

    const QStringList intervals = {"2-7 секунд", "10-20 секунд", "20-70 секунд", "70-140 секунд",
                                   "200-300 секунд"};
    struct List {
        const char* name;
        QStringList items;
        int itemHeight;
    };
    const List lists[] = {
        {"cbb1", intervals, 17},
        {"cbb2", intervals, 17},
        {"cbb3", {"раз в 30 минут", "раз в 60 минут", "раз в 90 минут", "раз в 120 минут"}, 17},
        {"cbb4", {"5-10 минут", "10-15 минут", "15-30 минут", "30-60 минут", "навсегда"}, 17},
        {"cbb5", {}, 16},
        {"cbb6",
         {"8-Коноплянка", "9-Овсянка", "10-Славка садовая", "11-Славка черноголовка", "12-Соловей",
          "13-Чиж", "14-Щегол"},
         16},
    };
    for (const List& l : lists) {
        auto* combo = get<QComboBox>(w, l.name);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        EXPECT_EQ(items, l.items) << l.name;
        EXPECT_FALSE(combo->isEditable()) << l.name;
        QStyleOptionViewItem option;
        option.font = combo->font();
        EXPECT_EQ(combo->itemDelegate()->sizeHint(option, combo->model()->index(0, 0)).height(),
                  l.itemHeight)
            << l.name;
    }
}

TEST_F(WindowFixture, WidgetsStartFromTheFormState) {
    form.chk2.setChecked(true);  // not the default: the window must read the form, not assume
    form.rb4.setChecked(true);
    form.trckbr7.setPosition(17);
    MainWindow w(form, 1.0);

    for (const char* name : {"chk1", "chk5", "chk6", "chk7", "chk8", "chk9"})
        EXPECT_FALSE(get<QCheckBox>(w, name)->isChecked()) << name;
    for (const char* name : {"chk2", "chk10"}) EXPECT_TRUE(get<QCheckBox>(w, name)->isChecked());
    const std::map<std::string, bool> radios = {{"rb1", true}, {"rb2", false}, {"rb3", false},
                                                {"rb4", true}, {"rb5", true},  {"rb6", false},
                                                {"rb7", true}, {"rb8", false}};
    for (const auto& [name, on] : radios)
        EXPECT_EQ(get<QRadioButton>(w, name.c_str())->isChecked(), on) << name;

    struct Slider {
        const char* name;
        int max, value;
    };
    for (const Slider& s : {Slider{"TrackBar1", 20, 5}, Slider{"trckbr1", 20, 5},
                            Slider{"trckbr7", 20, 17}, Slider{"strckbr11", 100, 0}}) {
        auto* slider = get<QSlider>(w, s.name);
        EXPECT_EQ(slider->orientation(), Qt::Horizontal);
        EXPECT_EQ(slider->minimum(), 0) << s.name;
        EXPECT_EQ(slider->maximum(), s.max) << s.name;
        EXPECT_EQ(slider->value(), s.value) << s.name;
        EXPECT_EQ(slider->singleStep(), 1) << s.name;
        EXPECT_EQ(slider->pageStep(), 2) << s.name;
    }

    const std::map<std::string, int> indexes = {{"cbb1", 2}, {"cbb2", 2},  {"cbb3", 0},
                                                {"cbb4", 0}, {"cbb5", -1}, {"cbb6", -1}};
    for (const auto& [name, index] : indexes)
        EXPECT_EQ(get<QComboBox>(w, name.c_str())->currentIndex(), index) << name;
    EXPECT_FALSE(w.widgetFor("cbb6")->isEnabled());
    EXPECT_TRUE(w.widgetFor("cbb5")->isEnabled());
    EXPECT_TRUE(w.widgetFor("btn2")->isHidden());
    EXPECT_TRUE(w.widgetFor("btn3")->isHidden());
    EXPECT_FALSE(w.widgetFor("btn4")->isHidden());
}

TEST_F(WindowFixture, OnlyTheIntervalAndRainListsHaveTooltips) {
    MainWindow w(form, 1.0);
    const std::map<QString, QString> tips = {{"cbb1", "Частота появления звуков"},
                                             {"cbb2", "Частота появления звуков"},
                                             {"cbb3", "Как часто дождь будет идти"},
                                             {"cbb4", "Продолжительность дождя"}};
    int named = 0;
    for (QWidget* child : w.findChildren<QWidget*>()) {
        if (child->objectName().isEmpty()) continue;
        ++named;
        auto it = tips.find(child->objectName());
        EXPECT_EQ(child->toolTip(), it == tips.end() ? QString() : it->second)
            << child->objectName().toStdString();
    }
    EXPECT_GT(named, 40);  // the walk really saw the controls
}

// Presses Tab from the focused widget until the focus comes back round, recording the stops.
std::vector<std::string> tabCycle(QWidget& window, const char* start) {
    QWidget* first = window.findChild<QWidget*>(start);
    first->setFocus(Qt::TabFocusReason);
    std::vector<std::string> stops{start};
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (!now || now == first) break;
        stops.push_back(now->objectName().toStdString());
    }
    return stops;
}

TEST_F(WindowFixture, TabVisitsTheSelectedRadiosAndEnabledControlsInOrder) {
    countHandlers();
    MainWindow w(form, 1.0);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    EXPECT_EQ(tabCycle(w, "TrackBar1"),
              (std::vector<std::string>{
                  "TrackBar1", "chk1",     "chk2",      "trckbr1", "chk5", "trckbr6", "chk6",
                  "trckbr7",   "chk7",     "trckbr9",   "chk8",    "rb1",  "rb3",     "rb5",
                  "chk9",      "trckbr10", "cbb1",      "cbb2",    "cbb3", "rb7",     "cbb4",
                  "btn1",      "chk10",    "strckbr11", "cbb5",    "btn4"}));

    // Another radio selected, a control disabled and cbb6 enabled: the chain follows.
    form.rb2.setChecked(true);
    form.rb8.setChecked(true);
    form.chk5.setEnabled(false);
    form.cbb6.setEnabled(true);
    EXPECT_EQ(tabCycle(w, "TrackBar1"),
              (std::vector<std::string>{
                  "TrackBar1", "chk1",      "chk2", "trckbr1", "trckbr6", "chk6", "trckbr7",
                  "chk7",      "trckbr9",   "chk8", "rb2",     "rb3",     "rb5",  "chk9",
                  "trckbr10",  "cbb1",      "cbb2", "cbb3",    "rb8",     "cbb4", "btn1",
                  "chk10",     "strckbr11", "cbb5", "cbb6",    "btn4"}));

    // btn4 lies outside the window yet the keyboard can press it.
    w.widgetFor("btn4")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.widgetFor("btn4"), Qt::Key_Space);
    EXPECT_EQ(runs["btn4"], 1);
}

TEST_F(WindowFixture, UserInputRunsEachHandlerOnce) {
    countHandlers();
    MainWindow w(form, 1.0);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    // A real mouse click near the box's indicator.
    QWidget* chk1 = w.widgetFor("chk1");
    QTest::mouseClick(chk1, Qt::LeftButton, {}, QPoint(6, chk1->height() / 2));
    EXPECT_TRUE(form.chk1.checked());
    get<QCheckBox>(w, "chk10")->click();
    EXPECT_FALSE(form.chk10.checked());
    get<QRadioButton>(w, "rb2")->click();
    get<QRadioButton>(w, "rb2")->click();  // already selected: nothing more
    EXPECT_TRUE(form.rb2.checked());
    EXPECT_FALSE(form.rb1.checked());
    QTest::keyClick(w.widgetFor("TrackBar1"), Qt::Key_Right);
    QTest::keyClick(w.widgetFor("TrackBar1"), Qt::Key_PageUp);
    EXPECT_EQ(form.TrackBar1.position(), 8);
    QTest::keyClick(w.widgetFor("strckbr11"), Qt::Key_Left);  // at its minimum already
    EXPECT_EQ(form.strckbr11.position(), 0);
    QTest::keyClick(w.widgetFor("cbb3"), Qt::Key_Down);
    EXPECT_EQ(form.cbb3.itemIndex(), 1);
    // Picking the item already shown is still a pick.
    auto* cbb4 = get<QComboBox>(w, "cbb4");
    cbb4->showPopup();
    QTest::keyClick(cbb4->view(), Qt::Key_Return);
    EXPECT_EQ(form.cbb4.itemIndex(), 0);
    get<QPushButton>(w, "btn1")->click();

    EXPECT_EQ(runs, (std::map<std::string, int>{{"chk1", 1},
                                                {"chk10", 1},
                                                {"rb2", 1},
                                                {"TrackBar1", 2},
                                                {"cbb3", 1},
                                                {"cbb4", 1},
                                                {"btn1", 1}}));
}

TEST_F(WindowFixture, FormChangesReachWidgetsWithoutEcho) {
    countHandlers();
    MainWindow w(form, 1.0);
    form.chk7.setChecked(true);
    form.rb4.setChecked(true);
    form.rb6.setChecked(true);
    form.trckbr9.setPosition(12);
    form.strckbr11.setPosition(50);
    form.cbb1.setItemIndex(4);
    form.cbb5.addItem("3-Дрозд черный");
    form.cbb5.addItem("5-Зарянка");
    form.cbb5.setItemIndex(1);
    form.btn1.setCaption("11:59");
    form.chk9.setEnabled(false);
    form.btn3.setVisible(true);

    EXPECT_TRUE(get<QCheckBox>(w, "chk7")->isChecked());
    EXPECT_TRUE(get<QRadioButton>(w, "rb4")->isChecked());
    EXPECT_FALSE(get<QRadioButton>(w, "rb3")->isChecked());
    EXPECT_TRUE(get<QRadioButton>(w, "rb6")->isChecked());
    EXPECT_FALSE(get<QRadioButton>(w, "rb5")->isChecked());
    EXPECT_EQ(get<QSlider>(w, "trckbr9")->value(), 12);
    EXPECT_EQ(get<QSlider>(w, "strckbr11")->value(), 50);
    EXPECT_EQ(get<QComboBox>(w, "cbb1")->currentIndex(), 4);
    EXPECT_EQ(get<QComboBox>(w, "cbb5")->count(), 2);
    EXPECT_EQ(get<QComboBox>(w, "cbb5")->currentText(), "5-Зарянка");
    EXPECT_EQ(get<QPushButton>(w, "btn1")->text(), "11:59");
    EXPECT_FALSE(w.widgetFor("chk9")->isEnabled());
    EXPECT_FALSE(w.widgetFor("btn3")->isHidden());

    // Only the form's own handler runs; setting a list's item from code runs nothing.
    EXPECT_EQ(runs, (std::map<std::string, int>{
                        {"chk7", 1}, {"rb4", 1}, {"rb6", 1}, {"trckbr9", 1}, {"strckbr11", 1}}));

    // A pair may even hold no selection at all (deselecting from code).
    form.rb6.setChecked(false);
    EXPECT_FALSE(get<QRadioButton>(w, "rb5")->isChecked());
    EXPECT_FALSE(get<QRadioButton>(w, "rb6")->isChecked());
}

TEST_F(WindowFixture, WidgetsFollowHandlersThatUndoTheUsersChange) {
    form.chk1.onClick = [this] { form.chk1.setChecked(false); };
    form.rb2.onClick = [this] { form.rb1.setChecked(true); };
    form.TrackBar1.onChange = [this] {
        form.TrackBar1.setPosition(std::min(form.TrackBar1.position(), 6));
    };
    form.cbb4.onPick = [this] { form.cbb4.setItemIndex(0); };
    MainWindow w(form, 1.0);

    get<QCheckBox>(w, "chk1")->click();
    get<QRadioButton>(w, "rb2")->click();
    QTest::keyClick(w.widgetFor("TrackBar1"), Qt::Key_PageUp);
    QTest::keyClick(w.widgetFor("cbb4"), Qt::Key_Down);

    EXPECT_FALSE(get<QCheckBox>(w, "chk1")->isChecked());
    EXPECT_TRUE(get<QRadioButton>(w, "rb1")->isChecked());
    EXPECT_FALSE(get<QRadioButton>(w, "rb2")->isChecked());
    EXPECT_EQ(get<QSlider>(w, "TrackBar1")->value(), 6);
    EXPECT_EQ(get<QComboBox>(w, "cbb4")->currentIndex(), 0);
}

TEST_F(WindowFixture, CloseAndMinimiseReachTheApplication) {
    int closes = 0, minimises = 0;
    MainWindow w(form, 1.0);
    w.onCloseRequest = [&] { ++closes; };
    w.onMinimize = [&] { ++minimises; };
    w.show();
    w.setWindowState(Qt::WindowMinimized);
    w.setWindowState(Qt::WindowMinimized | Qt::WindowActive);  // still minimised: no new event
    w.setWindowState(Qt::WindowNoState);
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(minimises, 2);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowFixture, PhotographShowsFaintlyThroughTheBackground) {
    MainWindow w(form, 1.0);
    const QImage shot = w.grab().toImage();
    const QImage leaf(":/ombrelin/leaf.jpg");
    const QColor ground = w.palette().color(QPalette::Window);
    // Points where no control covers the picture, one in each quarter.
    for (QPoint at : {QPoint(5, 5), QPoint(480, 10), QPoint(5, 395), QPoint(515, 395)}) {
        const QColor got = shot.pixelColor(at), photo = leaf.pixelColor(at);
        auto blend = [](int g, int p) { return 0.8 * g + 0.2 * p; };
        EXPECT_NEAR(got.red(), blend(ground.red(), photo.red()), 3) << at.x() << "," << at.y();
        EXPECT_NEAR(got.green(), blend(ground.green(), photo.green()), 3);
        EXPECT_NEAR(got.blue(), blend(ground.blue(), photo.blue()), 3);
    }
}

}  // namespace
