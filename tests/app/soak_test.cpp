// Seven simulated days of a user at the window: random clicks, slider moves, class and species
// picks, rain presses and settings round trips, with every layer in play. After every timer
// tick and every action the soundscape's invariants must hold.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "settings/settings_file.h"
#include "tests/support/harness.h"

namespace {

using testing_support::Harness;

class Soak {
public:
    explicit Soak(Harness& h) : h(h) {
        h.audio.lengthMs = {{"dogd2", 720000}, {"dogd_gr3", 720000}};
        h.audio.defaultLengthMs = 4000;
        h.audio.missing = {"nas4", "pticp13"};
        guardHandlers();
    }

    void check(const char* where) {
        ++checks;
        engine::SoundEngine& e = h.e();
        form::MainForm& f = h.f();
        std::set<engine::Handle> slots;
        for (int i = 0; i < engine::kSlotCount; ++i)
            slots.insert(e.channel(static_cast<engine::Slot>(i)));
        ASSERT_LE(h.audio.liveStreams(), 8) << where;
        for (engine::Handle live : h.audio.liveHandles())
            ASSERT_TRUE(slots.count(live)) << where << ": leaked " << live;

        const std::string caption = f.btn1.caption();
        const bool counting =
            !caption.empty() && caption.find_first_not_of("0123456789") == std::string::npos;
        ASSERT_TRUE(caption == "Дождя!" || caption == "Хватит дождя!" ||
                    (counting && std::stoi(caption) <= 29))
            << where << ": " << caption;
        const bool episode = caption != "Дождя!";
        // A countdown disables the button; steady rain enables it.
        if (counting || caption == "Хватит дождя!") {
            ASSERT_EQ(f.btn1.enabled(), !counting) << where;
        }
        // An episode locks the songbird, insect and extra-bird controls; once it is over and no
        // new one is pending, they are usable again (the species lists as the layer allows).
        for (form::Control* c : lockable()) {
            if (episode) {
                ASSERT_FALSE(c->enabled()) << where << c->name();
            } else if (!f.tmr4.enabled() && c != &f.cbb5 && c != &f.cbb6) {
                ASSERT_TRUE(c->enabled()) << where << c->name();
            }
        }
        if (!episode && !f.tmr4.enabled()) {
            ASSERT_TRUE(f.btn1.enabled()) << where;
        }
        if (!f.chk7.checked()) {
            ASSERT_FALSE(f.tmr3.enabled()) << where;
            ASSERT_FALSE(f.chk8.checked()) << where;
        }
        ASSERT_EQ(f.Timer1.enabled(), f.chk9.checked()) << where;
        ASSERT_EQ(f.tmr2.enabled(), f.chk6.checked()) << where;
        ASSERT_EQ(f.tmr5.enabled(), f.chk5.checked()) << where;
        for (engine::OccasionalLayer* l : {&h.app->insects(), &h.app->extraBirds()}) {
            ASSERT_GE(l->elapsedMs(), 0) << where;
            ASSERT_GE(l->waitMs(), 0) << where;
        }
        ASSERT_GE(h.app->rain().rainTicks(), 0) << where;
        ASSERT_GE(h.app->rain().rainElapsedMs(), 0) << where;
        ASSERT_TRUE(reentered.empty()) << where << ": " << *reentered.begin();
    }

    void act(std::mt19937& gen) {
        form::MainForm& f = h.f();
        auto pickEnabled = [&](auto... controls) {
            std::vector<form::Control*> usable;
            for (form::Control* c : {static_cast<form::Control*>(controls)...})
                if (c->enabled()) usable.push_back(c);
            return usable.empty() ? nullptr : usable[gen() % usable.size()];
        };
        switch (gen() % 8) {
            case 0:
            case 1:
                if (auto* c = pickEnabled(&f.chk1, &f.chk2, &f.chk5, &f.chk6, &f.chk7, &f.chk8,
                                          &f.chk9, &f.chk10))
                    static_cast<form::CheckBox*>(c)->toggle();
                break;
            case 2:
                if (auto* c = pickEnabled(&f.TrackBar1, &f.trckbr1, &f.trckbr6, &f.trckbr7,
                                          &f.trckbr9, &f.trckbr10, &f.strckbr11)) {
                    auto* s = static_cast<form::TrackBar*>(c);
                    s->setPosition(static_cast<int>(gen() % (s->max() + 1)));
                }
                break;
            case 3:
                if (auto* c = pickEnabled(&f.cbb1, &f.cbb2, &f.cbb3, &f.cbb4, &f.cbb5, &f.cbb6)) {
                    auto* combo = static_cast<form::ComboBox*>(c);
                    if (!combo->items().empty())
                        combo->pick(static_cast<int>(gen() % combo->items().size()));
                }
                break;
            case 4:
                if (auto* c =
                        pickEnabled(&f.rb1, &f.rb2, &f.rb3, &f.rb4, &f.rb5, &f.rb6, &f.rb7, &f.rb8))
                    static_cast<form::RadioButton*>(c)->setChecked(true);
                break;
            case 5:
            case 6:
                if (f.btn1.enabled()) f.btn1.click();
                break;
            case 7:
                roundTrip();
                break;
        }
        check("after an action");
    }

    // The file the window writes loads into a fresh window without a message and restores it.
    void roundTrip() {
        ASSERT_TRUE(h.app->settingsFile().btn2Click());
        Harness other;
        other.writeSettings(h.readSettings());
        ASSERT_TRUE(other.app->FormCreate());
        ASSERT_TRUE(other.dialogs.shown.empty());
        ASSERT_EQ(settings::serialize(other.f()), settings::serialize(h.f()));
    }

    int64_t checks = 0;

private:
    std::vector<form::Control*> lockable() {
        form::MainForm& f = h.f();
        return {&f.trckbr6, &f.chk5, &f.chk6, &f.chk9, &f.rb5, &f.rb6, &f.cbb5, &f.cbb6};
    }

    // Wraps every handler so that a re-entered one is caught, and checks after every tick.
    void guardHandlers() {
        form::MainForm& f = h.f();
        auto guard = [this](std::function<void()>& handler, const std::string& name) {
            auto inner = handler;
            handler = [this, inner, name] {
                // Clearing the thunder box from its own run is the one intended nesting.
                if (running[name]++ > 0 && name != "chk8") reentered.insert(name);
                inner();
                running[name]--;
            };
        };
        for (form::CheckBox* c :
             {&f.chk1, &f.chk2, &f.chk5, &f.chk6, &f.chk7, &f.chk8, &f.chk9, &f.chk10})
            guard(c->onClick, c->name());
        for (form::RadioButton* r :
             {&f.rb1, &f.rb2, &f.rb3, &f.rb4, &f.rb5, &f.rb6, &f.rb7, &f.rb8})
            guard(r->onClick, r->name());
        for (form::TrackBar* s : {&f.TrackBar1, &f.trckbr1, &f.trckbr6, &f.trckbr7, &f.trckbr9,
                                  &f.trckbr10, &f.strckbr11})
            guard(s->onChange, s->name());
        for (form::ComboBox* c : {&f.cbb1, &f.cbb2, &f.cbb3, &f.cbb4, &f.cbb5, &f.cbb6})
            guard(c->onPick, c->name());
        guard(f.btn1.onClick, "btn1");
        for (form::Timer* t : f.timers()) {
            guard(t->onTimer, t->name());
            auto inner = t->onTimer;
            t->onTimer = [this, inner] {
                inner();
                check("after a tick");
            };
        }
    }

    Harness& h;
    std::map<std::string, int> running;
    std::set<std::string> reentered;
};

TEST(Soak, SevenDaysOfRandomUseKeepEveryInvariant) {
    Harness h;
    h.writeSettings(testing_support::settingsText(
        {1, 10, 1, 1, 10, 0, 1, 10, 0, 1, 10, 0, 1, 10, 0, 1, 10, 1, 0, 0, 1, 50, 1}));
    Soak soak(h);
    ASSERT_TRUE(h.app->FormCreate());
    std::mt19937 gen(20261210);
    const int64_t week = int64_t{7} * 24 * 3600 * 1000;
    while (h.clock.now() < week && !::testing::Test::HasFatalFailure()) {
        // Mostly long quiet stretches, now and then a burst of clicks.
        h.clock.advance(gen() % 4 == 0 ? gen() % 3000 : 60000 + gen() % 1800000);
        const int actions = 1 + gen() % 4;
        for (int i = 0; i < actions && !::testing::Test::HasFatalFailure(); ++i) soak.act(gen);
    }
    EXPECT_GT(soak.checks, 500000);
    h.app->FormCloseQuery();
    EXPECT_EQ(h.audio.liveStreams(), 0);
}

}  // namespace
