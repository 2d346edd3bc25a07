#include <vector>

#include "tests/engine/layer_fixture.h"

namespace {

using Calls = std::vector<std::string>;

class ContinuousLayers : public LayerTest {};

TEST_F(ContinuousLayers, SwitchOnStartsTheChosenVariantAtTheSliderVolume) {
    h.f().chk1.setChecked(true);
    EXPECT_EQ(h.audio.calls,
              (Calls{"stop 0", "free 0", "create ruchey3 4", "vol 1 0.25", "play 1"}));
    EXPECT_EQ(h.e().path(engine::Slot::brookChannel), h.dir.string() + "/samp_povt/ruchey3");
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::brookChannel)));

    h.audio.clearCalls();
    h.f().chk1.setChecked(false);
    EXPECT_EQ(h.audio.calls, (Calls{"stop 1", "free 1"}));
    EXPECT_EQ(h.e().channel(engine::Slot::brookChannel), 1u)
        << "a released slot keeps its stale handle";
}

TEST_F(ContinuousLayers, VariantSwitchReplacesAPlayingRecording) {
    h.f().chk2.setChecked(true);
    h.audio.clearCalls();
    h.f().rb4.setChecked(true);
    EXPECT_EQ(h.audio.calls,
              (Calls{"stop 1", "free 1", "create pticv2 4", "vol 2 0.25", "play 2"}));
    h.audio.clearCalls();
    h.f().rb4.setChecked(true);  // already chosen: nothing
    EXPECT_TRUE(h.audio.calls.empty());
}

TEST_F(ContinuousLayers, VariantAndSliderWhileOffPlayNothingButCountNextStart) {
    h.f().rb2.setChecked(true);
    h.f().TrackBar1.setPosition(12);
    EXPECT_EQ(h.audio.calls, (Calls{"stop 0", "free 0", "vol 0 0.6"}));
    EXPECT_TRUE(h.audio.opened.empty());
    h.f().chk1.setChecked(true);
    EXPECT_EQ(h.audio.opened, (Calls{"ruchey4"}));
    EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(engine::Slot::brookChannel)), 0.6f);
}

TEST_F(ContinuousLayers, SliderActsAtOnceOnAPlayingLayer) {
    h.f().TrackBar1.setPosition(0);
    h.f().chk1.setChecked(true);
    EXPECT_FLOAT_EQ(h.audio.volumeOf(1), 0.0f);
    h.audio.clearCalls();
    h.f().TrackBar1.setPosition(20);
    EXPECT_EQ(h.audio.calls, (Calls{"vol 1 1"}));
    EXPECT_TRUE(h.e().isActive(1)) << "no restart";
}

TEST_F(ContinuousLayers, MissingRecordingLeavesTheLayerSilentWithoutAMessage) {
    h.audio.missing = {"pticv1"};
    h.f().chk2.setChecked(true);
    EXPECT_EQ(h.e().channel(engine::Slot::distantBirdsChannel), 0u);
    EXPECT_TRUE(h.f().chk2.checked());
    EXPECT_TRUE(h.dialogs.shown.empty());
    h.audio.missing.clear();
    h.f().chk2.setChecked(false);
    h.f().chk2.setChecked(true);
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::distantBirdsChannel)))
        << "switching again tries again";
}

TEST_F(ContinuousLayers, RainDoesNotTouchThem) {
    h.f().chk1.setChecked(true);
    h.audio.clearCalls();
    h.f().chk7.setChecked(true);
    h.f().btn1.click();
    seconds(40);
    for (const std::string& c : h.audio.calls)
        EXPECT_NE(c.rfind("vol 1 ", 0), 0u) << "the brook's volume was changed: " << c;
}

}  // namespace
