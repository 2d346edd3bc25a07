// What the media controls show and do: the title of what sings, the change notifications from
// every path that moves the watched controls, and the commands on the sound switch.
#include "app/now_playing.h"

#include <gtest/gtest.h>

#include "engine/master_volume.h"
#include "tests/support/harness.h"

namespace {

using testing_support::Harness;

TEST(NowPlayingTitle, NamesTheSongbirdsOrElseTheLayersThatSound) {
    struct Case {
        const char* what;
        std::function<void(form::MainForm&)> set;
        const char* title;
    };
    // The bare form: no handlers run, so each case states exactly what the controls show.
    auto soloSinging = [](form::MainForm& f, int species) {
        f.chk5.setChecked(true);
        for (std::string& item : form::speciesItems(1, form::kSpeciesCount)) f.cbb5.addItem(item);
        f.cbb5.setItemIndex(species - 1);
    };
    auto duet = [](form::MainForm& f, int a, int b) {
        f.chk5.setChecked(true);
        f.rb6.setChecked(true);
        for (std::string& item : form::speciesItems(1, form::kFirstDuetSpeciesB - 1))
            f.cbb5.addItem(item);
        f.cbb5.setItemIndex(a - 1);
        f.cbb6.setItemIndex(b < 0 ? -1 : b - form::kFirstDuetSpeciesB);
    };
    const Case cases[] = {
        {"nothing on", [](form::MainForm&) {}, "Тишина"},
        {"sound switch off alone changes no title",
         [](form::MainForm& f) { f.chk10.setChecked(false); }, "Тишина"},
        {"layers by caption, in the window's order",
         [](form::MainForm& f) {
             f.chk6.setChecked(true);
             f.chk1.setChecked(true);
             f.chk9.setChecked(true);
         },
         "Ручей, Насекомые, +птицы"},
        {"rain switched on but not raining", [](form::MainForm& f) { f.chk7.setChecked(true); },
         "Тишина"},
        {"solo species without its number",
         [&](form::MainForm& f) {
             f.chk1.setChecked(true);
             soloSinging(f, 12);
         },
         "Соловей"},
        {"duet: both voices", [&](form::MainForm& f) { duet(f, 5, 14); }, "Зарянка и Щегол"},
        {"duet before voice B's first song", [&](form::MainForm& f) { duet(f, 5, -1); }, "Зарянка"},
        {"songbirds on, no song yet: the layers",
         [](form::MainForm& f) {
             f.chk5.setChecked(true);
             f.chk2.setChecked(true);
         },
         "Птицы вдали"},
        {"songbirds switched off keep their list, but do not sing",
         [&](form::MainForm& f) {
             soloSinging(f, 3);
             f.chk5.setChecked(false);
         },
         "Тишина"},
        {"steady rain with thunder silences the songbirds",
         [&](form::MainForm& f) {
             soloSinging(f, 3);
             f.chk1.setChecked(true);
             f.chk7.setChecked(true);
             f.chk8.setChecked(true);
             f.btn1.setCaption("Хватит дождя!");
         },
         "Ручей, Дождь с грозой"},
        {"rain fading in (the countdown caption)",
         [&](form::MainForm& f) {
             soloSinging(f, 3);
             f.chk7.setChecked(true);
             f.btn1.setCaption("17");
         },
         "Дождь"},
    };
    for (const Case& c : cases) {
        form::MainForm f;
        c.set(f);
        EXPECT_EQ(nowPlayingTitle(f), c.title) << c.what;
    }
}

// The program's start-up over fakes, songbirds solo, with NowPlaying counting its notifications.
struct Running {
    Running() {
        h.writeSettings(testing_support::settingsText(
            {0, 10, 1, 0, 10, 1, 1, 10, 1, 0, 10, 0, 0, 10, 0, 0, 10, 0, 0, 0, 1, 50, 1}));
        EXPECT_TRUE(h.app->FormCreate());
        now = std::make_unique<NowPlaying>(h.f());
        now->onChanged = [this] { ++changes; };
    }
    Harness h;
    std::unique_ptr<NowPlaying> now;
    int changes = 0;
};

TEST(NowPlaying, FollowsTheSwitchAndTheSongsWhateverMovesThem) {
    Running r;
    ASSERT_TRUE(r.now->playing());
    r.h.clock.advance(1000);  // the songbird tick starts the first song
    ASSERT_GE(r.h.f().cbb5.itemIndex(), 0);
    EXPECT_EQ(r.changes, 1);
    EXPECT_EQ(r.now->title(), nowPlayingTitle(r.h.f()));
    EXPECT_NE(r.now->title(), "Тишина");

    r.changes = 0;
    r.h.app->toggleSound();  // the tray's click
    EXPECT_FALSE(r.now->playing());
    EXPECT_EQ(r.changes, 1);
    r.h.app->btn4Click();  // the reset turns the sound on again
    EXPECT_TRUE(r.now->playing());
    EXPECT_EQ(r.changes, 2);
    r.h.f().chk5.setChecked(false);  // the songbirds stop: nothing sounds
    EXPECT_EQ(r.now->title(), "Тишина");
    EXPECT_EQ(r.changes, 3) << "one notice per change of state or title";
}

TEST(NowPlaying, CommandsActOnTheSwitchOnlyWhenTheyChangeIt) {
    Running r;
    const uint32_t on = engine::masterVolumeWord(50);
    r.h.volume.words.clear();
    r.now->play();
    r.now->playPause();
    r.now->pause();
    r.now->playPause();
    r.now->playPause();
    EXPECT_EQ(r.h.volume.words, (std::vector<uint32_t>{0u, on, 0u}));
    EXPECT_FALSE(r.h.f().chk10.checked());
    EXPECT_EQ(r.changes, 3);
}

TEST(NowPlaying, ChainsAfterTheViewsHooksAndGivesThemBack) {
    form::MainForm f;
    int viewSyncs = 0;
    f.chk10.onStateChanged = [&] { ++viewSyncs; };
    int changes = 0;
    {
        NowPlaying now(f);
        now.onChanged = [&] { ++changes; };
        f.chk10.setChecked(false);
        EXPECT_EQ(viewSyncs, 1);
        EXPECT_EQ(changes, 1);
    }
    f.chk10.setChecked(true);
    EXPECT_EQ(viewSyncs, 2);
    EXPECT_EQ(changes, 1) << "no notice after NowPlaying is gone";
}

}  // namespace
