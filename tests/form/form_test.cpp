// The event rules the whole program leans on: a control's handler runs when, and only when, its
// value really changes, whoever changes it; timers restart only on a real change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/main_form.h"

namespace {

struct ControlCase {
    const char* what;
    void (*act)(form::MainForm&);
    std::vector<std::string> expectedEvents;
};

class ControlRules : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlRules, HandlerRunsOnlyOnRealChange) {
    form::MainForm f;
    std::vector<std::string> events;
    auto record = [&](const char* name) { return [&events, name] { events.push_back(name); }; };
    f.chk1.onClick = record("chk1");
    f.chk10.onClick = record("chk10");
    f.rb1.onClick = record("rb1");
    f.rb2.onClick = record("rb2");
    f.rb3.onClick = record("rb3");
    f.TrackBar1.onChange = record("TrackBar1");
    f.cbb1.onPick = record("cbb1");
    f.TrackBar1.setMax(20);

    GetParam().act(f);
    EXPECT_EQ(events, GetParam().expectedEvents) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControlRules,
    ::testing::Values(
        ControlCase{"check box set to a new state",
                    [](form::MainForm& f) { f.chk1.setChecked(true); },
                    {"chk1"}},
        ControlCase{
            "check box set to its state", [](form::MainForm& f) { f.chk10.setChecked(true); }, {}},
        ControlCase{"user click toggles", [](form::MainForm& f) { f.chk10.toggle(); }, {"chk10"}},
        ControlCase{"radio selected: partner cleared silently",
                    [](form::MainForm& f) { f.rb2.setChecked(true); },
                    {"rb2"}},
        ControlCase{
            "radio already selected", [](form::MainForm& f) { f.rb1.setChecked(true); }, {}},
        ControlCase{"radio deselected runs nothing",
                    [](form::MainForm& f) { f.rb1.setChecked(false); },
                    {}},
        ControlCase{
            "slider moved", [](form::MainForm& f) { f.TrackBar1.setPosition(7); }, {"TrackBar1"}},
        ControlCase{
            "slider to its position", [](form::MainForm& f) { f.TrackBar1.setPosition(5); }, {}},
        ControlCase{"slider clamped to the same end",
                    [](form::MainForm& f) {
                        f.TrackBar1.setPosition(20);
                        f.TrackBar1.setPosition(99);
                    },
                    {"TrackBar1"}},
        ControlCase{"combo index from code runs nothing",
                    [](form::MainForm& f) { f.cbb1.setItemIndex(4); },
                    {}},
        ControlCase{"user pick runs, also the same item",
                    [](form::MainForm& f) {
                        f.cbb1.pick(2);
                        f.cbb1.pick(2);
                    },
                    {"cbb1", "cbb1"}}));

TEST(ControlRules, RadioPairsAreIndependentAndExclusive) {
    form::MainForm f;
    f.rb2.setChecked(true);
    EXPECT_FALSE(f.rb1.checked());
    EXPECT_TRUE(f.rb3.checked());
    EXPECT_TRUE(f.rb5.checked());
    EXPECT_TRUE(f.rb7.checked());
    f.rb1.setChecked(true);
    EXPECT_FALSE(f.rb2.checked());
}

TEST(ControlRules, HandlersNestWhenTheyChangeOtherControls) {
    // A handler that clears another check box runs that box's handler at once, inside its own
    // run, and the nesting stops when the value no longer changes.
    form::MainForm f;
    std::vector<std::string> events;
    f.chk7.onClick = [&] {
        events.push_back("chk7 begin");
        f.chk8.setChecked(false);
        events.push_back("chk7 end");
    };
    f.chk8.onClick = [&] {
        events.push_back("chk8");
        f.chk7.onClick();
    };
    f.chk8.setChecked(true);
    EXPECT_EQ(events, (std::vector<std::string>{"chk8", "chk7 begin", "chk8", "chk7 begin",
                                                "chk7 end", "chk7 end"}));
    EXPECT_FALSE(f.chk8.checked());
}

TEST(ControlRules, ComboIndexOutsideTheListSelectsNothing) {
    form::MainForm f;
    f.cbb6.setItemIndex(3);
    EXPECT_EQ(f.cbb6.itemIndex(), 3);
    f.cbb6.setItemIndex(-7 + 0);
    EXPECT_EQ(f.cbb6.itemIndex(), -1);
    f.cbb6.setItemIndex(7);
    EXPECT_EQ(f.cbb6.itemIndex(), -1);
}

TEST(InitialState, MatchesTheWindowAtCreation) {
    form::MainForm f;
    EXPECT_TRUE(f.chk10.checked());
    for (form::CheckBox* c : {&f.chk1, &f.chk2, &f.chk5, &f.chk6, &f.chk7, &f.chk8, &f.chk9})
        EXPECT_FALSE(c->checked()) << c->name();
    for (form::TrackBar* s : f.layerSliders()) EXPECT_EQ(s->position(), 5) << s->name();
    EXPECT_EQ(f.strckbr11.position(), 0);
    EXPECT_EQ(f.cbb1.itemIndex(), 2);
    EXPECT_EQ(f.cbb3.itemIndex(), 0);
    EXPECT_TRUE(f.cbb5.items().empty());
    EXPECT_FALSE(f.cbb6.enabled());
    ASSERT_EQ(f.cbb6.items().size(), 7u);
    EXPECT_EQ(f.cbb6.items().front(), "8-Коноплянка");
    EXPECT_EQ(f.btn1.caption(), "Дождя!");
    EXPECT_TRUE(f.tmr5.enabled());
    EXPECT_FALSE(f.Timer1.enabled());
    EXPECT_EQ(f.tmr3.interval(), 100000);
}

// Timers under virtual time.
struct Ticks {
    form::VirtualClock clock;
    form::Timer a{"a", 1000, false};
    form::Timer b{"b", 1000, false};
    std::vector<std::pair<int64_t, std::string>> log;
    Ticks() {
        a.onTimer = [this] { log.emplace_back(clock.now(), "a"); };
        b.onTimer = [this] { log.emplace_back(clock.now(), "b"); };
        clock.attach(a);
        clock.attach(b);
    }
};

TEST(Timers, SameValueChangesNothingAndAChangeRestartsThePeriod) {
    Ticks t;
    t.a.setEnabled(true);
    t.clock.advance(700);
    t.a.setEnabled(true);   // same state: phase runs on
    t.a.setInterval(1000);  // same interval: phase runs on
    t.clock.advance(300);   // tick at 1000
    t.clock.advance(500);
    t.a.setInterval(2000);  // restart at 1500: next tick at 3500
    t.clock.advance(2000);
    t.a.setEnabled(false);
    t.clock.advance(250);
    t.a.setEnabled(true);  // restart at 3750
    t.clock.advance(2000);
    EXPECT_EQ(t.log, (std::vector<std::pair<int64_t, std::string>>{
                         {1000, "a"}, {3500, "a"}, {5750, "a"}}));
}

TEST(Timers, TiesFireInAttachOrderAndHandlersMayRestartTimers) {
    Ticks t;
    t.b.setEnabled(true);
    t.a.setEnabled(true);
    // b's handler restarts a with a short period: it fires on the new schedule.
    t.b.onTimer = [&t] {
        t.log.emplace_back(t.clock.now(), "b");
        t.a.setInterval(100);
    };
    t.clock.advance(1000);
    t.clock.advance(250);
    EXPECT_EQ(t.log, (std::vector<std::pair<int64_t, std::string>>{
                         {1000, "a"}, {1000, "b"}, {1100, "a"}, {1200, "a"}}));
}

TEST(Timers, TicksGoOnWhileAHandlerWaits) {
    // A message box shown from a tick keeps the other timers ticking (a nested loop).
    Ticks t;
    t.a.setEnabled(true);
    t.b.setEnabled(true);
    t.b.setInterval(3000);
    t.b.onTimer = [&t] {
        t.log.emplace_back(t.clock.now(), "b waits");
        t.b.setEnabled(false);
        t.clock.advance(2500);
        t.log.emplace_back(t.clock.now(), "b done");
    };
    t.clock.advance(3000);
    EXPECT_EQ(t.log, (std::vector<std::pair<int64_t, std::string>>{{1000, "a"},
                                                                   {2000, "a"},
                                                                   {3000, "a"},
                                                                   {3000, "b waits"},
                                                                   {4000, "a"},
                                                                   {5000, "a"},
                                                                   {5500, "b done"}}));
    EXPECT_EQ(t.clock.now(), 5500);
}

}  // namespace
