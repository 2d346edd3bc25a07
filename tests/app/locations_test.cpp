// Where settings and recordings are found: the portable folder as it always was, a shared
// read-only folder, and an installed copy with the user's own folders in front of the shipped ones.
#include "app/locations.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/harness.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Harness;
using testing_support::settingsText;

void touch(const fs::path& file, const std::string& content = "") {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder the running user may not write into: another owner for root, no write bit otherwise.
void makeNotTheUsers(const fs::path& dir) {
    if (geteuid() == 0)
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
    else
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
}

TEST(Locations, EachLayoutFindsItsSettingsAndRecordings) {
    Harness scratch;  // only for its private folder, removed at the end
    const fs::path root = scratch.dir;
    const app::Environment env{(root / "home").string(), (root / "cfg").string(),
                               (root / "dat").string()};
    const std::string userSettings = (root / "cfg/ombrelin/n_p_d.ini").string();

    // Portable with the sound pack, and a portable build without one.
    for (const char* name : {"portable", "nopack"}) {
        const fs::path prog = root / name;
        fs::create_directories(prog);
        if (std::string(name) == "portable") fs::create_directories(prog / "samp_raz");
        const app::Locations l = app::findLocations(prog.string(), "../share/ombrelin", env);
        EXPECT_FALSE(l.installed) << name;
        EXPECT_EQ(l.settingsFile, (prog / "n_p_d.ini").string()) << name;
        EXPECT_EQ(l.startingSettings, "") << name;
        EXPECT_EQ(l.sampleRoots, std::vector<std::string>{prog.string()}) << name;
    }

    // Installed: nothing beside the program, the data folder beside bin/.
    const fs::path bin = root / "usr/bin";
    const fs::path data = root / "usr/share/ombrelin";
    fs::create_directories(bin);
    touch(data / "n_p_d.ini");
    app::Locations l = app::findLocations(bin.string(), "../share/ombrelin", env);
    EXPECT_TRUE(l.installed);
    EXPECT_EQ(l.settingsFile, userSettings);
    EXPECT_EQ(l.startingSettings, (bin / "../share/ombrelin/n_p_d.ini").string());
    EXPECT_EQ(l.sampleRoots, (std::vector<std::string>{(root / "dat/ombrelin").string(),
                                                       (bin / "../share/ombrelin").string()}));

    // Unset or relative XDG variables fall back to the folders under home.
    for (const char* value : {"", "relative/dir"}) {
        l = app::findLocations(bin.string(), "../share/ombrelin",
                               {(root / "home").string(), value, value});
        EXPECT_EQ(l.settingsFile, (root / "home/.config/ombrelin/n_p_d.ini").string()) << value;
        EXPECT_EQ(l.sampleRoots[0], (root / "home/.local/share/ombrelin").string()) << value;
    }

    // A portable folder shared read-only: recordings from beside the program, settings in the
    // user's folder, starting from the folder's own file when it has one.
    const fs::path shared = root / "shared";
    fs::create_directories(shared / "samp_povt");
    touch(shared / "n_p_d.ini");
    makeNotTheUsers(shared);
    const app::Locations withFile = app::findLocations(shared.string(), "../share/ombrelin", env);
    EXPECT_FALSE(withFile.installed);
    EXPECT_EQ(withFile.settingsFile, userSettings);
    EXPECT_EQ(withFile.startingSettings, (shared / "n_p_d.ini").string());
    EXPECT_EQ(withFile.sampleRoots, std::vector<std::string>{shared.string()});
}

TEST(Locations, MakeFolderForCreatesTheMissingParentsPrivately) {
    Harness scratch;
    const fs::path file = scratch.dir / "a/b/c/n_p_d.ini";
    ASSERT_TRUE(app::makeFolderFor(file.string()));
    EXPECT_TRUE(fs::is_directory(file.parent_path()));
    EXPECT_EQ(fs::status(scratch.dir / "a").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(app::makeFolderFor(file.string())) << "an existing folder is fine";
    touch(scratch.dir / "plain");
    EXPECT_FALSE(app::makeFolderFor((scratch.dir / "plain/x/n_p_d.ini").string()));
}

// The whole window logic in an installed layout: bin/ with share/ombrelin/ beside it and the
// user's XDG folders elsewhere.
class InstalledCopy : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin());
        touch(data() / "samp_povt/ruchey3", "x");
        touch(data() / "samp_povt/pticv1", "x");
        shipped =
            settingsText({1, 8, 1, 1, 6, 1, 1, 8, 1, 0, 8, 2, 0, 8, 2, 0, 10, 0, 0, 1, 0, 50, 1});
        touch(data() / "n_p_d.ini", shipped);
        setenv("XDG_CONFIG_HOME", (h.dir / "cfg").c_str(), 1);
        setenv("XDG_DATA_HOME", (h.dir / "dat").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
    }
    // A fresh start of the installed program over the harness's fakes.
    void start() {
        h.app.reset();
        h.dialogs.shown.clear();
        h.audio.opened.clear();
        h.app = std::make_unique<TForm_Ombrelin>(FormServices{h.audio, h.volume, h.dialogs, h.clock,
                                                              bin().string(), "Ombrelin",
                                                              [] { return true; }});
        ASSERT_TRUE(h.app->FormCreate());
    }
    fs::path bin() const { return h.dir / "usr/bin"; }
    fs::path data() const { return h.dir / "usr/share/ombrelin"; }
    fs::path userSettings() const { return h.dir / "cfg/ombrelin/n_p_d.ini"; }

    Harness h;
    std::string shipped;
};

TEST_F(InstalledCopy, FirstStartPlaysTheShippedSettingsAndTheCloseKeepsTheUsersOwn) {
    start();
    EXPECT_TRUE(h.dialogs.shown.empty()) << h.dialogs.shown[0].text;
    EXPECT_TRUE(h.f().chk1.checked());
    EXPECT_TRUE(h.f().chk2.checked());
    EXPECT_TRUE(h.f().chk5.checked());
    EXPECT_EQ(h.f().strckbr11.position(), 50);
    EXPECT_EQ(h.e().path(engine::Slot::brookChannel),
              (bin() / "../share/ombrelin/samp_povt/ruchey3").string());

    h.f().TrackBar1.setPosition(3);
    h.app->FormCloseQuery();
    EXPECT_EQ(contentOf(data() / "n_p_d.ini"), shipped) << "the shipped file is never written";
    ASSERT_TRUE(fs::exists(userSettings()));

    start();
    EXPECT_TRUE(h.dialogs.shown.empty());
    EXPECT_EQ(h.f().TrackBar1.position(), 3) << "the user's own file is read back";
}

TEST_F(InstalledCopy, TheUsersRecordingIsPlayedInPlaceOfTheShippedOne) {
    touch(h.dir / "dat/ombrelin/samp_povt/ruchey3", "mine");
    start();
    EXPECT_EQ(h.e().path(engine::Slot::brookChannel),
              (h.dir / "dat/ombrelin/samp_povt/ruchey3").string());
    EXPECT_EQ(h.e().path(engine::Slot::distantBirdsChannel),
              (bin() / "../share/ombrelin/samp_povt/pticv1").string())
        << "names the user has not replaced still come from the shipped folder";
}

TEST_F(InstalledCopy, AUsersDamagedFileIsReportedAndKeptBesideIt) {
    touch(userSettings(), "1\r\nbad\r\n");
    start();
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].text, "файл параметров содержит ошибки");
    EXPECT_EQ(contentOf(userSettings().string() + ".damaged"), "1\r\nbad\r\n");
    EXPECT_FALSE(h.f().chk2.checked()) << "the shipped settings do not stand in for a damaged file";
}

TEST_F(InstalledCopy, NoSettingsAnywhereIsReportedAsNotFound) {
    fs::remove(data() / "n_p_d.ini");
    start();
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].text, "файл параметров не найден");
}

}  // namespace
