#include <map>
#include <set>

#include "tests/engine/layer_fixture.h"

namespace {

class OccasionalLayers : public LayerTest {
protected:
    // Seconds until the next recording starts, counted tick by tick (at most limit).
    int secondsToNextStart(size_t& openedBefore, int limit = 400) {
        for (int s = 1; s <= limit; ++s) {
            seconds(1);
            if (h.audio.opened.size() > openedBefore) {
                openedBefore = h.audio.opened.size();
                return s;
            }
        }
        return -1;
    }
};

TEST_F(OccasionalLayers, WaitsAreDrawnFromTheClassUpperBoundExclusive) {
    struct Case {
        int index;
        int lo, hi;  // seconds, inclusive
    };
    const Case cases[] = {{0, 2, 6}, {1, 10, 19}, {2, 20, 69}, {3, 70, 139}, {4, 200, 299}};
    for (const Case& c : cases) {
        h.f().cbb1.setItemIndex(c.index);
        std::set<int> seen;
        for (int i = 0; i < 3000; ++i) {
            h.f().cbb1.pick(c.index);
            seen.insert(h.app->insects().waitMs());
        }
        EXPECT_EQ(*seen.begin(), c.lo * 1000) << c.index;
        EXPECT_EQ(*seen.rbegin(), c.hi * 1000) << c.index;
    }
}

TEST_F(OccasionalLayers, RecordingStartsOnTheQuietTickThatReachesTheWait) {
    // Recordings short enough to end within a tick, so every tick after one counts.
    h.audio.defaultLengthMs = 500;
    h.f().cbb1.setItemIndex(0);
    h.f().chk9.setChecked(true);
    size_t opened = 0;
    std::set<std::string> names;
    for (int round = 0; round < 200; ++round) {
        const int wait = h.app->insects().waitMs() / 1000;
        ASSERT_GE(wait, 2);
        ASSERT_LE(wait, 6);
        ASSERT_EQ(secondsToNextStart(opened), wait) << "round " << round;
        names.insert(h.audio.opened.back());
        EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::insectsChannel)), 0.25f);
    }
    EXPECT_EQ(names.size(), 8u);
    EXPECT_EQ(*names.begin(), "nas1");
    EXPECT_EQ(*names.rbegin(), "nas8");
}

// Each twin plays its own numbered set from the one-shot folder, every file of it and no other:
// insects nas1 to nas8, extra birds pticd1 to pticd10.
TEST_F(OccasionalLayers, EachLayerPlaysEveryFileOfItsOwnSet) {
    struct Layer {
        const char* name;
        form::CheckBox& sw;
        form::ComboBox& classes;
        engine::Slot slot;
        const char* prefix;
        int files;
    };
    const Layer layers[] = {
        {"insects", h.f().chk9, h.f().cbb1, engine::Slot::insectsChannel, "nas", 8},
        {"extra birds", h.f().chk6, h.f().cbb2, engine::Slot::extraBirdsChannel, "pticd", 10},
    };
    h.audio.defaultLengthMs = 500;
    for (const Layer& l : layers) {
        SCOPED_TRACE(l.name);
        l.classes.setItemIndex(0);
        l.sw.setChecked(true);
        std::set<std::string> set, played;
        for (int n = 1; n <= l.files; ++n) set.insert(l.prefix + std::to_string(n));
        size_t opened = h.audio.opened.size();
        for (int round = 0; round < 300; ++round) {
            ASSERT_GT(secondsToNextStart(opened), 0);
            played.insert(h.audio.opened.back());
            ASSERT_EQ(h.e().path(l.slot), h.dir.string() + "/samp_raz/" + h.audio.opened.back());
        }
        EXPECT_EQ(played, set);
        l.sw.setChecked(false);
    }
}

TEST_F(OccasionalLayers, AnOwnRecordingOrRainHoldsTheCount) {
    h.audio.defaultLengthMs = 10500;  // ends between the 10th and 11th tick after it starts
    h.f().cbb2.setItemIndex(0);
    h.f().chk6.setChecked(true);
    size_t opened = 0;
    secondsToNextStart(opened);
    const int wait = h.app->extraBirds().waitMs() / 1000;
    // The recording plays over 10 ticks that count nothing; counting resumes on the 11th.
    EXPECT_EQ(secondsToNextStart(opened), 10 + wait);

    rainSounds(true);
    opened = h.audio.opened.size();
    seconds(2);  // held: the layer's recording has not ended yet anyway
    const int counted = h.app->extraBirds().elapsedMs();
    seconds(100);
    EXPECT_EQ(h.app->extraBirds().elapsedMs(), counted) << "rain holds the count";
    EXPECT_EQ(h.audio.opened.size(), opened);
    rainSounds(false);
    const int next = h.app->extraBirds().waitMs() / 1000;
    EXPECT_EQ(secondsToNextStart(opened), next - counted / 1000);
}

TEST_F(OccasionalLayers, ClassChangeKeepsTheCountedSilence) {
    h.audio.defaultLengthMs = 500;
    h.f().cbb1.setItemIndex(4);
    h.f().chk9.setChecked(true);
    seconds(30);
    EXPECT_EQ(h.app->insects().elapsedMs(), 30000);
    h.f().cbb1.pick(0);  // a 2..6 s wait, already passed: starts on the next quiet tick
    size_t opened = h.audio.opened.size();
    EXPECT_EQ(secondsToNextStart(opened), 1);

    h.f().cbb1.pick(1);
    seconds(15);
    h.f().cbb1.pick(4);
    const int counted = h.app->insects().elapsedMs() / 1000;
    opened = h.audio.opened.size();
    EXPECT_EQ(secondsToNextStart(opened), h.app->insects().waitMs() / 1000 - counted);
}

TEST_F(OccasionalLayers, SwitchingOffSilencesAtOnceAndOnCountsFromZero) {
    h.audio.defaultLengthMs = 60000;
    h.f().cbb1.setItemIndex(0);
    h.f().chk9.setChecked(true);
    seconds(7);
    ASSERT_TRUE(h.e().isActive(h.e().channel(engine::Slot::insectsChannel)));
    h.f().chk9.setChecked(false);
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::insectsChannel)));
    EXPECT_FALSE(h.f().Timer1.enabled());

    // Off after 30 s of counted silence (the longest class, so nothing has started yet): the
    // fresh wait after switching on again is counted from zero, not from those 30 s.
    h.f().cbb1.setItemIndex(4);
    h.f().chk9.setChecked(true);
    seconds(30);
    ASSERT_EQ(h.app->insects().elapsedMs(), 30000);
    h.f().chk9.setChecked(false);
    h.f().chk9.setChecked(true);
    EXPECT_EQ(h.app->insects().elapsedMs(), 0);
    size_t opened = h.audio.opened.size();
    EXPECT_EQ(secondsToNextStart(opened), h.app->insects().waitMs() / 1000);
}

TEST_F(OccasionalLayers, MissingRecordingUsesItsTurnAndCountsOn) {
    h.audio.missing = {"nas1", "nas2", "nas3", "nas4", "nas5", "nas6", "nas7", "nas8"};
    h.f().cbb1.setItemIndex(0);
    h.f().chk9.setChecked(true);
    const int first = h.app->insects().waitMs() / 1000;
    seconds(first);
    EXPECT_EQ(h.e().channel(engine::Slot::insectsChannel), 0u);
    EXPECT_EQ(h.app->insects().elapsedMs(), 0);
    const int second = h.app->insects().waitMs() / 1000;
    size_t creates = 0;
    seconds(second);
    for (const std::string& c : h.audio.calls) creates += c.rfind("create nas", 0) == 0;
    EXPECT_EQ(creates, 2u);
    EXPECT_TRUE(h.dialogs.shown.empty());
}

TEST_F(OccasionalLayers, SliderActsOnThePlayingRecordingAndTheNextOne) {
    struct Layer {
        const char* name;
        form::CheckBox& sw;
        form::ComboBox& classes;
        form::TrackBar& slider;
        engine::Slot slot;
    };
    const Layer layers[] = {
        {"insects", h.f().chk9, h.f().cbb1, h.f().trckbr10, engine::Slot::insectsChannel},
        {"extra birds", h.f().chk6, h.f().cbb2, h.f().trckbr7, engine::Slot::extraBirdsChannel},
    };
    h.audio.defaultLengthMs = 10000;
    for (const Layer& l : layers) {
        SCOPED_TRACE(l.name);
        l.classes.setItemIndex(0);
        l.sw.setChecked(true);
        size_t opened = h.audio.opened.size();
        ASSERT_GT(secondsToNextStart(opened), 0);
        const engine::Handle playing = h.e().channel(l.slot);
        l.slider.setPosition(16);
        EXPECT_FLOAT_EQ(h.audio.volumeOf(playing), 0.8f) << "the playing one, at once";
        EXPECT_TRUE(h.e().isActive(playing)) << "not restarted";
        seconds(10);  // it has ended; the next has not started yet
        ASSERT_FALSE(h.e().isActive(playing));
        l.slider.setPosition(4);
        ASSERT_GT(secondsToNextStart(opened), 0);
        EXPECT_NE(h.e().channel(l.slot), playing);
        EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(l.slot)), 0.2f)
            << "the next one, at the new level";
        l.sw.setChecked(false);
    }
}

TEST_F(OccasionalLayers, ExactDrawsFromAFreshGenerator) {
    // Only the insects layer draws: wait, then file number and the next wait, in that order.
    h.audio.defaultLengthMs = 500;
    h.e().rng() = engine::Random{};
    h.f().cbb1.setItemIndex(0);
    h.f().chk9.setChecked(true);
    seconds(60);
    engine::Random r;
    std::vector<std::string> expected;
    int wait = r.randomRange(2, 7);
    for (int t = 0, quiet = 0; t < 60; ++t) {
        if (++quiet < wait) continue;
        expected.push_back("nas" + std::to_string(r.randomRange(1, 9)));
        wait = r.randomRange(2, 7);
        quiet = 0;
    }
    EXPECT_EQ(h.audio.opened, expected);
    ASSERT_GE(expected.size(), 3u);
    EXPECT_EQ((std::vector<std::string>(expected.begin(), expected.begin() + 3)),
              (std::vector<std::string>{"nas1", "nas2", "nas6"}));
}

}  // namespace
