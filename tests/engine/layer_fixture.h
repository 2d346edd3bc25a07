// A started program over fakes: an empty settings file (no message, no reset), so every control
// is in the window's initial state with the slider ranges set, and the call log is cleared.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/harness.h"

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeSettings("");
        ASSERT_TRUE(h.app->FormCreate());
        ASSERT_TRUE(h.dialogs.shown.empty());
        h.audio.clearCalls();
    }
    // Advances the virtual clock by whole seconds.
    void seconds(int n) { h.clock.advance(int64_t{n} * 1000); }
    // Makes the rain slot sound (a looping stream) or go quiet, as an episode would.
    void rainSounds(bool on) {
        if (on) {
            h.e().startSample(engine::Slot::rainChannel, engine::SampleFolder::Loop, "dogd3",
                              engine::kSampleLoop, 1.0f);
        } else {
            h.e().releaseChannel(engine::Slot::rainChannel);
        }
    }

    testing_support::Harness h;
};
