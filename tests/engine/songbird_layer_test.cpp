#include "tests/engine/layer_fixture.h"

namespace {

using Names = std::vector<std::string>;

class Songbirds : public LayerTest {
protected:
    int species(engine::Handle slot) { return std::stoi(h.audio.nameOf(slot).substr(5)); }
};

TEST_F(Songbirds, SwitchFillsTheListsAndTheFirstSongComesWithinATick) {
    h.f().chk5.setChecked(true);
    EXPECT_EQ(h.f().cbb5.items().size(), 14u);
    EXPECT_EQ(h.f().cbb5.itemIndex(), -1);
    EXPECT_TRUE(h.f().cbb5.enabled());
    EXPECT_FALSE(h.f().cbb6.enabled());
    EXPECT_TRUE(h.f().tmr5.enabled());
    seconds(1);
    const int n = species(h.e().channel(engine::Slot::songChannelA));
    EXPECT_EQ(h.f().cbb5.itemIndex(), n - 1);
    EXPECT_EQ(h.e().path(engine::Slot::songChannelA),
              h.dir.string() + "/samp_raz/pticp" + std::to_string(n));
    EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::songChannelA)), 0.25f);

    h.f().chk5.setChecked(false);
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::songChannelA)));
    EXPECT_FALSE(h.f().tmr5.enabled());
    EXPECT_FALSE(h.f().cbb5.enabled());
}

TEST_F(Songbirds, DuetStartsVoiceAFirstAndVoicesRestartIndependently) {
    h.audio.lengthMs = {{"pticp1", 2500}, {"pticp2", 2500}, {"pticp3", 2500}, {"pticp4", 2500},
                        {"pticp5", 2500}, {"pticp6", 2500}, {"pticp7", 2500}};
    h.audio.defaultLengthMs = 10000;  // voice B's species sing longer
    h.f().rb6.setChecked(true);
    h.f().chk5.setChecked(true);
    EXPECT_EQ(h.f().cbb5.items().size(), 7u);
    EXPECT_TRUE(h.f().cbb6.enabled());
    h.audio.clearCalls();
    seconds(1);
    ASSERT_EQ(h.audio.opened.size(), 2u);
    EXPECT_LE(species(h.e().channel(engine::Slot::songChannelA)), 7);
    EXPECT_GE(species(h.e().channel(engine::Slot::songChannelB)), 8);
    EXPECT_LT(h.e().channel(engine::Slot::songChannelA), h.e().channel(engine::Slot::songChannelB))
        << "voice A starts first";
    const engine::Handle b = h.e().channel(engine::Slot::songChannelB);
    seconds(3);  // A ended and restarted; B still sings
    EXPECT_EQ(h.audio.opened.size(), 3u);
    EXPECT_EQ(h.e().channel(engine::Slot::songChannelB), b);
}

TEST_F(Songbirds, PickReplacesOnlyThatVoiceAndIsUsedOnce) {
    h.audio.defaultLengthMs = 60000;
    h.f().rb6.setChecked(true);
    h.f().chk5.setChecked(true);
    seconds(1);
    const engine::Handle a = h.e().channel(engine::Slot::songChannelA);
    h.f().cbb6.pick(4);  // "12-Соловей"
    EXPECT_EQ(h.app->songbirds().nextSingerB(), 12);
    EXPECT_FALSE(h.e().isActive(h.e().channel(engine::Slot::songChannelB)));
    seconds(1);
    EXPECT_EQ(h.audio.opened.back(), "pticp12");
    EXPECT_EQ(h.e().channel(engine::Slot::songChannelA), a);
    EXPECT_EQ(h.app->songbirds().nextSingerB(), -1);
    EXPECT_EQ(h.f().cbb6.itemIndex(), 4);
}

TEST_F(Songbirds, UnsungPickSurvivesOffOnAndModeChange) {
    h.audio.defaultLengthMs = 60000;
    h.f().chk5.setChecked(true);
    seconds(1);
    h.f().cbb5.pick(11);  // species 12, picked in solo
    h.f().chk5.setChecked(false);
    h.f().chk5.setChecked(true);
    h.f().rb6.setChecked(true);  // carried into duet: voice A sings it, its list shows nothing
    seconds(1);
    EXPECT_EQ(h.audio.nameOf(h.e().channel(engine::Slot::songChannelA)), "pticp12");
    EXPECT_EQ(h.f().cbb5.items().size(), 7u);
    EXPECT_EQ(h.f().cbb5.itemIndex(), -1);
    EXPECT_GE(species(h.e().channel(engine::Slot::songChannelB)), 8);
}

TEST_F(Songbirds, SongsStartSilentWhileRainSounds) {
    h.audio.defaultLengthMs = 1500;
    h.f().chk5.setChecked(true);
    rainSounds(true);
    seconds(6);
    EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::songChannelA)), 0.0f);
    EXPECT_DOUBLE_EQ(h.app->songbirds().songStartVolume(), 0.0);
    rainSounds(false);
    seconds(2);
    EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::songChannelA)), 0.25f);
}

TEST_F(Songbirds, MissingSongTriesAnotherSpeciesEveryTick) {
    for (int n = 1; n <= 14; ++n)
        if (n != 9) h.audio.missing.insert("pticp" + std::to_string(n));
    h.f().chk5.setChecked(true);
    int ticks = 0;
    while (!h.e().isActive(h.e().channel(engine::Slot::songChannelA)) && ticks < 500) {
        seconds(1);
        ++ticks;
    }
    EXPECT_EQ(h.audio.nameOf(h.e().channel(engine::Slot::songChannelA)), "pticp9");
    EXPECT_TRUE(h.dialogs.shown.empty());
}

TEST_F(Songbirds, ExactSpeciesFromAFreshGenerator) {
    // Duet with songs of 1.5 s: both voices restart every other tick; the species are fixed
    // by the order of the draws alone.
    h.audio.defaultLengthMs = 1500;
    h.e().rng() = engine::Random{};
    h.f().rb6.setChecked(true);
    h.f().chk5.setChecked(true);
    seconds(6);
    EXPECT_EQ(h.audio.opened, (Names{"pticp1", "pticp8", "pticp7", "pticp9", "pticp2", "pticp12"}));
}

}  // namespace
