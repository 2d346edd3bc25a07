#include "engine/master_volume.h"

#include "tests/engine/layer_fixture.h"

namespace {

TEST(MasterVolumeWord, BothChannelsAtPositionTimes650) {
    const std::pair<int, uint32_t> cases[] = {
        {0, 0}, {1, 0x028A028A}, {30, 0x4C2C4C2C}, {50, 0x7EF47EF4}, {100, 0xFDE8FDE8}};
    for (auto [position, word] : cases) EXPECT_EQ(engine::masterVolumeWord(position), word);
}

class MasterVolume : public LayerTest {};

TEST_F(MasterVolume, SliderSetsTheLevelEvenWhenMutedAndSwitchRestoresIt) {
    std::vector<int> images;
    h.app->master().onTrayImage = [&](int i) { images.push_back(i); };
    h.volume.words.clear();
    h.f().chk10.setChecked(false);
    h.f().strckbr11.setPosition(30);
    EXPECT_FALSE(h.f().chk10.checked());
    h.f().chk10.setChecked(true);
    EXPECT_EQ(h.volume.words, (std::vector<uint32_t>{0, 0x4C2C4C2C, 0x4C2C4C2C}));
    EXPECT_EQ(images, (std::vector<int>{0, 1}));
}

TEST_F(MasterVolume, ToggleSoundFlipsAndRepeatsTheLevel) {
    h.f().strckbr11.setPosition(100);
    h.volume.words.clear();
    h.app->toggleSound();
    EXPECT_FALSE(h.f().chk10.checked());
    h.app->toggleSound();
    EXPECT_TRUE(h.f().chk10.checked());
    EXPECT_EQ(h.volume.words, (std::vector<uint32_t>{0, 0, 0xFDE8FDE8, 0xFDE8FDE8}));
}

TEST_F(MasterVolume, StreamsAreNeverTouched) {
    h.f().chk1.setChecked(true);
    h.audio.clearCalls();
    h.f().strckbr11.setPosition(70);
    h.app->toggleSound();
    EXPECT_TRUE(h.audio.calls.empty());
    EXPECT_TRUE(h.e().isActive(h.e().channel(engine::Slot::brookChannel)));
}

}  // namespace
