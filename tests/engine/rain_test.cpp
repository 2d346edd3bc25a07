#include <cmath>
#include <set>

#include "engine/random.h"
#include "tests/engine/layer_fixture.h"

namespace {

const std::string kIdle = "Дождя!";
const std::string kSteady = "Хватит дождя!";

class Rain : public LayerTest {
protected:
    void SetUp() override {
        LayerTest::SetUp();
        h.f().trckbr9.setPosition(12);  // R = 0.6
        h.f().trckbr6.setPosition(8);   // S = 0.4
        h.audio.defaultLengthMs = 3600000;
        h.f().chk5.setChecked(true);
        h.f().chk7.setChecked(true);
        seconds(1);  // songbird voice A sings
    }
    // A fade level: steps/30 of a slider's full volume (position/20), to float precision.
    static double level(int steps, int position) { return steps / 30.0 * position / 20.0; }
    float rainVolume() { return h.audio.volumeOf(h.e().channel(engine::Slot::rainChannel)); }
    float songVolume() { return h.audio.volumeOf(h.e().channel(engine::Slot::songChannelA)); }
    bool locked() {
        for (form::Control* c :
             {(form::Control*)&h.f().trckbr6, (form::Control*)&h.f().chk5,
              (form::Control*)&h.f().chk6, (form::Control*)&h.f().chk9, (form::Control*)&h.f().rb5,
              (form::Control*)&h.f().rb6, (form::Control*)&h.f().cbb5, (form::Control*)&h.f().cbb6})
            if (c->enabled()) return false;
        return true;
    }
    void expectUnlocked() {
        EXPECT_TRUE(h.f().btn1.enabled());
        EXPECT_TRUE(h.f().trckbr6.enabled());
        EXPECT_TRUE(h.f().trckbr9.enabled());
        EXPECT_TRUE(h.f().chk5.enabled());
        EXPECT_TRUE(h.f().cbb5.enabled());
        EXPECT_EQ(h.f().btn1.caption(), kIdle);
    }
};

TEST_F(Rain, TwelveMinuteFadeInAndOutStepByStep) {
    h.f().btn1.click();
    EXPECT_EQ(h.audio.opened.back(), "dogd2");
    EXPECT_EQ(rainVolume(), 0.0f);
    EXPECT_EQ(h.f().btn1.caption(), kIdle) << "the caption changes at the first step";

    // Each second the rain rises and the songbirds fall by a thirtieth of their slider's level;
    // the fade ends exactly at the rain slider's level with the songbirds silent.
    float rainBefore = 0.0f, songBefore = 0.4f;
    for (int k = 1; k <= 30; ++k) {
        SCOPED_TRACE(k);
        seconds(1);
        EXPECT_GT(rainVolume(), rainBefore);
        EXPECT_LT(songVolume(), songBefore);
        EXPECT_NEAR(rainVolume(), level(k, 12), 1e-6);
        EXPECT_NEAR(songVolume(), level(30 - k, 8), 1e-6);
        rainBefore = rainVolume();
        songBefore = songVolume();
        EXPECT_EQ(h.f().btn1.caption(), std::to_string(30 - k));
        EXPECT_FALSE(h.f().btn1.enabled());
        EXPECT_FALSE(h.f().trckbr9.enabled());
        EXPECT_TRUE(locked());
    }
    EXPECT_FLOAT_EQ(rainVolume(), 0.6f);
    EXPECT_EQ(songVolume(), 0.0f);
    seconds(1);  // step 31
    EXPECT_EQ(h.f().btn1.caption(), kSteady);
    EXPECT_TRUE(h.f().btn1.enabled());
    EXPECT_TRUE(h.f().trckbr9.enabled());
    EXPECT_TRUE(locked());

    // The user stops it: the fade-out starts at the next regular tick.
    h.f().btn1.click();
    h.f().btn1.click();  // twice before the tick: one press
    EXPECT_EQ(h.f().btn1.caption(), kSteady);
    seconds(1);
    EXPECT_EQ(h.f().btn1.caption(), "29");
    EXPECT_NEAR(rainVolume(), level(29, 12), 1e-6);
    EXPECT_NEAR(songVolume(), level(1, 8), 1e-6);
    seconds(28);
    EXPECT_EQ(h.f().btn1.caption(), "1");
    seconds(1);
    EXPECT_FLOAT_EQ(songVolume(), 0.4f);
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
    EXPECT_FALSE(h.f().tmr4.enabled());
    expectUnlocked();
}

// Voice B of a duet rides the cross-fade with voice A: both fall to silence and come back step
// by step, and a song voice B starts while the rain sounds starts silent and takes the level of
// the next step.
TEST_F(Rain, DuetVoicesFadeDownAndBackTogether) {
    for (int n = 8; n <= 14; ++n) h.audio.lengthMs["pticp" + std::to_string(n)] = 2500;
    h.f().rb6.setChecked(true);
    seconds(1);
    ASSERT_TRUE(h.e().isActive(h.e().channel(engine::Slot::songChannelB)));
    const auto voiceB = [this] {
        return h.audio.volumeOf(h.e().channel(engine::Slot::songChannelB));
    };
    h.clock.advance(500);  // the steps fall between the songbird ticks
    h.f().btn1.click();
    for (int k = 1; k <= 30; ++k) {
        SCOPED_TRACE(k);
        seconds(1);
        EXPECT_NEAR(songVolume(), level(30 - k, 8), 1e-6);
        EXPECT_NEAR(voiceB(), level(30 - k, 8), 1e-6);
    }
    seconds(1);  // step 31
    const engine::Handle steady = h.e().channel(engine::Slot::songChannelB);
    seconds(5);
    EXPECT_NE(h.e().channel(engine::Slot::songChannelB), steady) << "voice B sings on in the rain";
    EXPECT_EQ(voiceB(), 0.0f) << "and its new song starts silent";
    h.f().btn1.click();
    for (int j = 1; j <= 30; ++j) {
        SCOPED_TRACE(j);
        seconds(1);
        EXPECT_NEAR(songVolume(), level(j, 8), 1e-6);
        EXPECT_NEAR(voiceB(), level(j, 8), 1e-6);
    }
    expectUnlocked();
    EXPECT_FLOAT_EQ(voiceB(), 0.4f);
}

// Ending an episode by a change of the rain switch, the thunder box or the rain mode sets both
// duet voices at once to the level of the songbird slider, wherever the fade had them.
TEST_F(Rain, SwitchChangeSetsBothDuetVoicesToTheirSlider) {
    struct Change {
        const char* what;
        void (*act)(form::MainForm&);
        int songPosition;  // of trckbr6, set before the episode
    };
    const Change changes[] = {
        {"thunder on", [](form::MainForm& f) { f.chk8.setChecked(true); }, 20},
        {"mode set", [](form::MainForm& f) { f.rb8.setChecked(true); }, 4},
        {"rain off", [](form::MainForm& f) { f.chk7.setChecked(false); }, 14},
    };
    h.f().rb6.setChecked(true);
    seconds(1);
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        h.f().chk7.setChecked(true);
        h.f().rb7.setChecked(true);
        h.f().chk8.setChecked(false);
        h.f().trckbr6.setPosition(c.songPosition);
        h.f().btn1.click();
        seconds(12);
        ASSERT_TRUE(locked());
        ASSERT_LT(h.audio.volumeOf(h.e().channel(engine::Slot::songChannelB)),
                  c.songPosition / 20.0f)
            << "faded";
        c.act(h.f());
        EXPECT_FLOAT_EQ(songVolume(), c.songPosition / 20.0f);
        EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::songChannelB)),
                        c.songPosition / 20.0f);
    }
}

// Whenever the rain gives the controls back (an episode's end, or a change of the thunder box
// ending one), the species lists come back as the songbird switch leaves them: voice A's while
// the layer is on, voice B's while it is on in duet; with the layer off both stay disabled.
TEST_F(Rain, SpeciesListsComeBackAsTheSongbirdSwitchLeavesThem) {
    struct Case {
        bool layerOn, duet;
        bool byThunderBox;  // else the episode runs to its end
        bool listA, listB;  // enabled afterwards
    };
    const Case cases[] = {
        {true, false, false, true, false},   {true, true, false, true, true},
        {false, false, false, false, false}, {false, true, false, false, false},
        {true, false, true, true, false},    {true, true, true, true, true},
        {false, true, true, false, false},
    };
    h.audio.missing = {"dogd2"};  // each episode fades in and out together within 30 s
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "on " << c.layerOn << " duet " << c.duet
                                          << " by thunder box " << c.byThunderBox);
        h.f().chk8.setChecked(false);
        (c.duet ? h.f().rb6 : h.f().rb5).setChecked(true);
        h.f().chk5.setChecked(c.layerOn);
        h.f().btn1.click();
        seconds(5);
        ASSERT_FALSE(h.f().cbb5.enabled());
        ASSERT_FALSE(h.f().cbb6.enabled());
        if (c.byThunderBox) {
            h.f().chk8.setChecked(true);
        } else {
            seconds(25);
            ASSERT_EQ(h.f().btn1.caption(), kIdle);
        }
        EXPECT_EQ(h.f().cbb5.enabled(), c.listA);
        EXPECT_EQ(h.f().cbb6.enabled(), c.listB);
    }
}

TEST_F(Rain, TwelveMinuteRainEndsWhenItsRecordingHasPlayed) {
    h.audio.lengthMs["dogd_gr3"] = 100500;
    h.f().chk8.setChecked(true);
    h.f().btn1.click();
    EXPECT_EQ(h.audio.opened.back(), "dogd_gr3");
    seconds(100);
    EXPECT_EQ(h.f().btn1.caption(), kSteady);
    seconds(1);  // the first tick after the end performs fade-out step 1
    EXPECT_EQ(h.f().btn1.caption(), "29");
    seconds(29);
    expectUnlocked();
}

TEST_F(Rain, SetDurationTimingWithThunder) {
    h.f().rb8.setChecked(true);
    h.f().chk8.setChecked(true);
    const int units = h.app->rain().rainDurationMs() / 100000;
    ASSERT_GE(units, 3);
    ASSERT_LE(units, 5);
    h.f().btn1.click();
    EXPECT_EQ(h.audio.opened.back(), "dogd3");
    EXPECT_EQ(h.audio.opened[h.audio.opened.size() - 2], "dogd_gr") << "thunder first";
    seconds(30);
    EXPECT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::thunderChannel)), 0.6f)
        << "thunder rises with the rain";
    seconds(1);
    EXPECT_EQ(h.f().tmr4.interval(), 100000);
    h.f().trckbr9.setPosition(20);
    EXPECT_EQ(rainVolume(), 1.0f);
    EXPECT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::thunderChannel)), 0.6f)
        << "the slider leaves thunder";

    seconds(100 * units - 1);
    EXPECT_EQ(h.f().btn1.caption(), kSteady);
    seconds(1);  // the n-th count performs fade-out step 1
    EXPECT_EQ(h.f().btn1.caption(), "29");
    EXPECT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::thunderChannel)), 0.6f)
        << "the fade-out leaves thunder";
    seconds(28);
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::thunderChannel)));
    seconds(1);
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::thunderChannel)));
    expectUnlocked();
}

// Every duration class: the duration is drawn over the whole class in units of 100 s, upper
// bound exclusive ("навсегда" is always 40 units, and its pick still draws from the generator),
// and a set-duration rain fades out at the 100-second count that uses it up.
TEST_F(Rain, DurationClassesDrawTheirWholeRangeAndEndTheRainWhenUsedUp) {
    struct Row {
        int item;
        int lo, hi;  // units of 100 s, inclusive
    };
    const Row rows[] = {{0, 3, 5}, {1, 6, 8}, {2, 9, 17}, {3, 18, 35}, {4, 40, 40}};
    h.f().rb8.setChecked(true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.item);
        std::set<int> seen;
        for (int i = 0; i < 3000; ++i) {
            const uint32_t before = h.e().rng().randSeed();
            h.f().cbb4.pick(r.item);
            ASSERT_NE(h.e().rng().randSeed(), before) << "every pick draws";
            seen.insert(h.app->rain().rainDurationMs());
        }
        EXPECT_EQ(*seen.begin(), r.lo * 100000);
        EXPECT_EQ(*seen.rbegin(), r.hi * 100000);
        EXPECT_EQ(seen.size(), static_cast<size_t>(r.hi - r.lo + 1)) << "every unit count";
        if (r.item == form::kRainDurationForever) continue;  // never counted down
        const int units = h.app->rain().rainDurationMs() / 100000;
        h.f().btn1.click();
        seconds(31 + 100 * units - 1);
        EXPECT_EQ(h.f().btn1.caption(), kSteady);
        seconds(1);
        EXPECT_EQ(h.f().btn1.caption(), "29");
        seconds(29);
        ASSERT_EQ(h.f().btn1.caption(), kIdle);
    }
}

TEST_F(Rain, StopPressAbandonsTheRunningCountPeriod) {
    h.f().rb8.setChecked(true);
    h.f().btn1.click();
    seconds(31 + 50);
    h.f().btn1.click();
    h.clock.advance(999);
    EXPECT_EQ(h.f().btn1.caption(), kSteady);
    h.clock.advance(1);
    EXPECT_EQ(h.f().btn1.caption(), "29");
}

TEST_F(Rain, ForeverStopsTheStepTimerUntilPressed) {
    h.f().rb8.setChecked(true);
    h.f().cbb4.pick(4);
    h.f().btn1.click();
    seconds(31);
    EXPECT_FALSE(h.f().tmr4.enabled());
    h.f().cbb4.pick(0);  // changes nothing now
    seconds(10000);
    EXPECT_EQ(h.f().btn1.caption(), kSteady);
    h.f().btn1.click();
    seconds(1);
    EXPECT_EQ(h.f().btn1.caption(), "29");
}

TEST_F(Rain, MissingRainFadesInAndOutTogether) {
    h.audio.missing = {"dogd2"};
    h.f().btn1.click();
    seconds(1);
    EXPECT_EQ(h.f().btn1.caption(), "29");
    EXPECT_NEAR(songVolume(), level(1, 8), 1e-6) << "the fade-out's songbird level prevails";
    seconds(1);
    EXPECT_NEAR(songVolume(), level(2, 8), 1e-6);
    seconds(28);
    expectUnlocked();
    EXPECT_EQ(songVolume(), 0.4f);
}

TEST_F(Rain, SecondPressWithinTheFirstSecondRestartsTheStreamsNotTheStep) {
    h.f().btn1.click();
    const engine::Handle first = h.e().channel(engine::Slot::rainChannel);
    h.clock.advance(400);
    h.f().btn1.click();
    EXPECT_NE(h.e().channel(engine::Slot::rainChannel), first);
    EXPECT_FALSE(h.audio.isLive(first));
    EXPECT_EQ(rainVolume(), 0.0f);
    h.clock.advance(599);
    EXPECT_EQ(h.f().btn1.caption(), kIdle);
    h.clock.advance(1);  // 1000 ms after the first press
    EXPECT_EQ(h.f().btn1.caption(), "29");
}

TEST_F(Rain, ClassPickedDuringACountedRainAppliesToIt) {
    struct Case {
        int item;
        int countsAfterPick;  // 100 s counts from the pick to the first fade-out step
    };
    // Picked after 5 counts: "навсегда" is still counted (40 units), a shorter class ends at
    // the next count when its duration is already used up.
    for (const Case c : {Case{4, 35}, Case{0, 1}}) {
        SCOPED_TRACE(c.item);
        h.f().cbb4.pick(3);  // 18..35 units
        h.f().rb8.setChecked(true);
        h.f().btn1.click();
        seconds(31 + 500);
        h.f().cbb4.pick(c.item);
        seconds(100 * c.countsAfterPick - 1);
        EXPECT_EQ(h.f().btn1.caption(), kSteady);
        seconds(1);
        EXPECT_EQ(h.f().btn1.caption(), "29");
        seconds(29);
        EXPECT_EQ(h.f().btn1.caption(), kIdle);
        h.f().rb7.setChecked(true);
    }
}

TEST_F(Rain, EachEpisodeEndDrawsTheNextDuration) {
    h.f().rb8.setChecked(true);
    const engine::Random before = h.e().rng();
    h.audio.missing = {"dogd3"};  // a short episode: fades in and out together
    h.f().btn1.click();
    seconds(30);
    ASSERT_EQ(h.f().btn1.caption(), kIdle);
    engine::Random r = before;
    EXPECT_EQ(h.app->rain().rainDurationMs(), r.randomRange(3, 6) * 100000);
}

TEST_F(Rain, ThunderOrModeChangeKeepsTheSchedulerPeriod) {
    seconds(30);
    const int64_t next = h.clock.untilNextTick(h.f().tmr3);
    h.f().chk8.setChecked(true);
    h.f().rb8.setChecked(true);
    EXPECT_EQ(h.clock.untilNextTick(h.f().tmr3), next);
}

TEST_F(Rain, PressWithRainSwitchOffDoesNothing) {
    h.f().chk7.setChecked(false);
    h.audio.clearCalls();
    h.f().btn1.click();
    seconds(5);
    EXPECT_EQ(h.f().btn1.caption(), kIdle);
    EXPECT_TRUE(h.f().btn1.enabled());
    for (const std::string& c : h.audio.calls) EXPECT_NE(c.rfind("create dogd", 0), 0u) << c;
}

TEST_F(Rain, EveryChangeOfSwitchThunderOrModeEndsAnEpisodeAtOnce) {
    struct Change {
        const char* what;
        void (*act)(form::MainForm&);
        bool switchOn;
    };
    const Change changes[] = {
        {"thunder on", [](form::MainForm& f) { f.chk8.setChecked(true); }, true},
        {"mode set", [](form::MainForm& f) { f.rb8.setChecked(true); }, true},
        {"rain off", [](form::MainForm& f) { f.chk7.setChecked(false); }, false},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        h.f().chk7.setChecked(true);
        h.f().rb7.setChecked(true);
        seconds(300);  // three rain-free scheduler ticks counted (the earliest due is the 6th)
        const int counted = h.app->rain().rainTicks();
        ASSERT_GT(counted, 0);
        h.f().btn1.click();
        seconds(12);
        ASSERT_TRUE(locked());
        c.act(h.f());
        EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
        EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::thunderChannel)));
        EXPECT_EQ(songVolume(), 0.4f);
        expectUnlocked();
        EXPECT_FALSE(h.f().tmr4.enabled());
        EXPECT_EQ(h.f().tmr3.enabled(), c.switchOn);
        // Switching on or changing thunder or mode counts afresh; switching off keeps the count.
        EXPECT_EQ(h.app->rain().rainTicks(), c.switchOn ? 0 : counted);
        h.f().chk8.setChecked(false);
    }
}

TEST_F(Rain, ClearingRainWithThunderRunsTheSwitchOnceMoreNested) {
    h.f().chk8.setChecked(true);
    h.audio.clearCalls();
    h.f().chk7.setChecked(false);
    EXPECT_FALSE(h.f().chk8.checked());
    int releases = 0;
    for (const std::string& c : h.audio.calls) releases += c.rfind("free", 0) == 0;
    EXPECT_EQ(releases, 4) << "rain and thunder released by both runs";
    // With the rain off, checking thunder clears it again at once.
    h.f().chk8.setChecked(true);
    EXPECT_FALSE(h.f().chk8.checked());
}

TEST_F(Rain, SchedulerCountsOnlyRainFreeTicks) {
    const int due = h.app->rain().rainDueTicks();
    ASSERT_GE(due, 6);
    ASSERT_LE(due, 17);
    engine::Random r =
        h.e().rng();  // nothing else draws until the due tick (the song lasts an hour)
    seconds(100 * due - 1);
    EXPECT_EQ(h.f().btn1.caption(), kIdle);
    seconds(1);  // the due tick presses the button and draws the next due count
    EXPECT_EQ(h.app->rain().rainTicks(), 0);
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
    const int next = h.app->rain().rainDueTicks();
    EXPECT_EQ(next, r.randomRange(6, 18)) << "a fresh draw from the class";
    // The whole twelve-minute recording holds the count.
    seconds(3000);
    EXPECT_EQ(h.app->rain().rainTicks(), 0);
    h.audio.lengthMs["dogd2"] = 0;  // the recording ends now
    seconds(100);
    EXPECT_EQ(h.app->rain().rainTicks(), 1);
    // The next rain comes on the next-th counted tick.
    ASSERT_EQ(h.f().btn1.caption(), kIdle) << "the first episode has ended and been released";
    h.audio.lengthMs.erase("dogd2");
    seconds(100 * (next - 2));
    EXPECT_EQ(h.app->rain().rainTicks(), next - 1);
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
    seconds(100);
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
    EXPECT_EQ(h.app->rain().rainTicks(), 0);
}

// Every frequency class: the due count is drawn over the whole class, upper bound exclusive, and
// the scheduler presses the rain button after that many rain-free 100-second ticks.
TEST_F(Rain, FrequencyClassesDrawTheirWholeRangeAndPressWhenDue) {
    struct Row {
        int item;
        int lo, hi;  // due counts, inclusive
    };
    const Row rows[] = {{0, 6, 17}, {1, 18, 35}, {2, 36, 53}, {3, 54, 71}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.item);
        h.f().chk7.setChecked(false);
        h.f().cbb3.setItemIndex(r.item);
        h.f().chk7.setChecked(true);  // counts afresh, due after a draw from the class
        const int due = h.app->rain().rainDueTicks();
        ASSERT_GE(due, r.lo);
        ASSERT_LE(due, r.hi);
        seconds(100 * due - 1);
        EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
        seconds(1);
        EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)))
            << "pressed at the due tick";
        std::set<int> seen;
        for (int i = 0; i < 3000; ++i) {
            h.f().cbb3.pick(r.item);
            seen.insert(h.app->rain().rainDueTicks());
        }
        EXPECT_EQ(*seen.begin(), r.lo);
        EXPECT_EQ(*seen.rbegin(), r.hi);
        EXPECT_EQ(seen.size(), static_cast<size_t>(r.hi - r.lo + 1)) << "every count";
    }
}

TEST_F(Rain, LowerClassFiresAtTheNextCountedTick) {
    h.f().cbb3.setItemIndex(3);
    h.f().cbb3.pick(3);
    seconds(100 * 20);
    ASSERT_EQ(h.app->rain().rainTicks(), 20);
    h.f().cbb3.pick(0);  // 6..17: already passed
    seconds(100);
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::rainChannel)));
    EXPECT_EQ(h.app->rain().rainTicks(), 0);
}

TEST_F(Rain, ScheduledPressDuringACountdownDoesNothingAndDrawsAnew) {
    // The scheduler counts all but its last due tick first. The recording ends at 80.5 s, so
    // the fade-out runs when the scheduler's next tick comes at 100 s; the rain slot is quiet
    // then, the tick counts and reaches its due count.
    seconds(100 * (h.app->rain().rainDueTicks() - 1));
    ASSERT_EQ(h.app->rain().rainTicks(), h.app->rain().rainDueTicks() - 1);
    h.audio.lengthMs["dogd2"] = 79500;
    h.f().btn1.click();
    seconds(98);
    ASSERT_EQ(h.f().btn1.caption(), "11");
    const size_t opened = h.audio.opened.size();
    engine::Random r = h.e().rng();
    seconds(1);
    EXPECT_EQ(h.audio.opened.size(), opened);
    EXPECT_EQ(h.app->rain().rainTicks(), 0);
    EXPECT_GE(h.app->rain().rainDueTicks(), 6);
    EXPECT_EQ(h.app->rain().rainDueTicks(), r.randomRange(6, 18)) << "a fresh draw";
    seconds(11);
    EXPECT_EQ(h.f().btn1.caption(), kIdle);
}

TEST_F(Rain, UserPressKeepsTheSchedulerCount) {
    seconds(100 * 3);
    ASSERT_EQ(h.app->rain().rainTicks(), 3);
    h.audio.lengthMs["dogd2"] = 250000;
    h.f().btn1.click();
    seconds(200);
    EXPECT_EQ(h.app->rain().rainTicks(), 3);
}

}  // namespace
