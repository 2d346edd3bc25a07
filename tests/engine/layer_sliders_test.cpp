// Every layer slider acts at once on the sound already playing: the same stream, not restarted,
// takes the new level (for the songbirds, both voices of a duet).
#include <functional>
#include <vector>

#include "tests/engine/layer_fixture.h"

namespace {

class LayerSliders : public LayerTest {};

TEST_F(LayerSliders, ActAtOnceOnWhatIsPlaying) {
    struct Case {
        const char* layer;
        std::function<void()> start;  // switches the layer on and lets it sound
        form::TrackBar& slider;
        std::vector<engine::Slot> slots;
    };
    h.audio.defaultLengthMs = 600000;
    const auto occasional = [this](form::CheckBox& sw, form::ComboBox& classes) {
        classes.setItemIndex(0);  // 2..6 s
        sw.setChecked(true);
        seconds(6);
    };
    const Case cases[] = {
        {"brook",
         [&] { h.f().chk1.setChecked(true); },
         h.f().TrackBar1,
         {engine::Slot::brookChannel}},
        {"distant birds",
         [&] { h.f().chk2.setChecked(true); },
         h.f().trckbr1,
         {engine::Slot::distantBirdsChannel}},
        {"songbird duet",
         [&] {
             h.f().rb6.setChecked(true);
             h.f().chk5.setChecked(true);
             seconds(1);
         },
         h.f().trckbr6,
         {engine::Slot::songChannelA, engine::Slot::songChannelB}},
        {"insects",
         [&] { occasional(h.f().chk9, h.f().cbb1); },
         h.f().trckbr10,
         {engine::Slot::insectsChannel}},
        {"extra birds",
         [&] { occasional(h.f().chk6, h.f().cbb2); },
         h.f().trckbr7,
         {engine::Slot::extraBirdsChannel}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        c.start();
        std::vector<engine::Handle> playing;
        for (engine::Slot slot : c.slots) {
            ASSERT_TRUE(h.e().isActive(slot));
            EXPECT_FLOAT_EQ(h.audio.volumeOf(h.e().channel(slot)), 0.25f);
            playing.push_back(h.e().channel(slot));
        }
        const size_t opened = h.audio.opened.size();
        c.slider.setPosition(16);
        for (engine::Handle handle : playing) {
            EXPECT_FLOAT_EQ(h.audio.volumeOf(handle), 0.8f);
            EXPECT_TRUE(h.e().isActive(handle));
        }
        EXPECT_EQ(h.audio.opened.size(), opened) << "nothing restarted";
    }
}

}  // namespace
