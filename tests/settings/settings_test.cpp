#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>

#include "settings/settings_file.h"
#include "tests/support/harness.h"

namespace {

using testing_support::Harness;
using testing_support::initialSettings;
using testing_support::settingsText;

TEST(IntegerRule, Table) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"5", true, 5},
        {" 5", true, 5},
        {"   +5", true, 5},
        {"-0", true, 0},
        {"007", true, 7},
        {"$A", true, 10},
        {"x14", true, 20},
        {"X14", true, 20},
        {"0x14", true, 20},
        {"0X1f", true, 31},
        {"-$A", true, -10},
        {"$FFFFFFFF", true, -1},
        {"$80000000", true, INT32_MIN},
        {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"$0000000001", true, 1},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$100000000", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"x", false, 0},
        {"5 ", false, 0},
        {"5.0", false, 0},
        {"\t5", false, 0},
        {"+-5", false, 0},
        {"5a", false, 0},
        {"$G", false, 0},
        {"-0x10", true, -16},
        {"+x1", true, 1},
        {"$ff", true, 255},
        {"-$FFFFFFFF", true, 1},
        {"00x5", false, 0},
        {"- 5", false, 0},
    };
    for (const Case& c : cases) {
        int32_t v = 12345;
        EXPECT_EQ(settings::parseInteger(c.text, v), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(v, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(Lines, EveryBreakKindEndsALineAndAFinalBreakStartsNone) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(settings::splitLines("1\r\n2\r\n"), (V{"1", "2"}));
    EXPECT_EQ(settings::splitLines("1\n2\r3"), (V{"1", "2", "3"}));
    EXPECT_EQ(settings::splitLines("1\r\n\r\n"), (V{"1", ""}));
    EXPECT_EQ(settings::splitLines("\n"), (V{""}));
    EXPECT_EQ(settings::splitLines(""), (V{}));
    EXPECT_EQ(settings::splitLines("1\n\r2"), (V{"1", "", "2"}));
}

// A program started from a given settings file.
class Load : public ::testing::Test {
protected:
    void start(const std::string& content) {
        h.writeSettings(content);
        ASSERT_TRUE(h.app->FormCreate());
    }
    std::vector<std::string> messages() {
        std::vector<std::string> out;
        for (auto& m : h.dialogs.shown) out.push_back(m.text);
        return out;
    }
    std::vector<int> saved() {
        h.app->btn2Click();
        const std::string content = h.readSettings();
        std::vector<int> out;
        for (std::string_view line : settings::splitLines(content))
            out.push_back(std::stoi(std::string(line)));
        return out;
    }
    Harness h;
};

const std::vector<int> kSample = {1, 7, 0, 1, 3, 0, 1, 12, 0, 1,  20, 4,
                                  1, 0, 1, 1, 9, 1, 3, 0,  4, 77, 0};

TEST_F(Load, AWrittenFileRestoresEveryControlAndResavesByteForByte) {
    start(settingsText(kSample));
    EXPECT_TRUE(h.dialogs.shown.empty());
    EXPECT_EQ(saved(), kSample);
    EXPECT_EQ(h.readSettings(), settingsText(kSample));
}

TEST_F(Load, LfAndCrEndsLoadLikeCrLf) {
    start(settingsText(kSample, "\n"));
    EXPECT_EQ(saved(), kSample);
    Harness other;
    other.writeSettings(settingsText(kSample, "\r"));
    ASSERT_TRUE(other.app->FormCreate());
    other.app->btn2Click();
    EXPECT_EQ(other.readSettings(), settingsText(kSample));
}

TEST_F(Load, OutcomeTable) {
    struct Case {
        const char* what;
        std::function<std::string()> content;
        std::vector<std::string> messages;
        std::vector<int> after;  // what a save then writes
    };
    auto with = [](int line, const char* text, const char* tail = "") {
        std::string out;
        for (int i = 0; i < 23; ++i)
            out += (i == line - 1 ? std::string(text) : std::to_string(kSample[i])) + "\r\n";
        return out + tail;
    };
    // The reset puts back sliders, the class lists, the master slider and the sound switch.
    auto reset = [](std::vector<int> v) {
        for (int i : {1, 4, 7, 10, 13, 16}) v[i] = 10;
        v[11] = 2, v[14] = 2, v[18] = 0, v[20] = 0, v[21] = 50, v[22] = 1;
        return v;
    };
    std::vector<int> initial = initialSettings();
    std::vector<int> tenLines = initial;
    std::copy(kSample.begin(), kSample.begin() + 10, tenLines.begin());
    std::vector<int> stoppedAtTen = initial;
    std::copy(kSample.begin(), kSample.begin() + 9, stoppedAtTen.begin());
    std::vector<int> stoppedAtTwo = initial;
    stoppedAtTwo[0] = kSample[0];
    // kSample with some lines changed.
    auto sampleWith = [](std::initializer_list<std::pair<int, int>> changes) {
        std::vector<int> v = kSample;
        for (auto [line, value] : changes) v[line - 1] = value;
        return v;
    };
    const char* err = settings::kMessageHasErrors;
    const Case cases[] = {
        {"empty file: no message, no reset", [] { return std::string(); }, {}, initial},
        {"ten lines",
         [&] {
             return settingsText({kSample.begin(), kSample.begin() + 10});
         },
         {},
         tenLines},
        {"extra valid line ignored", [&] { return with(0, "", "7\r\n"); }, {}, kSample},
        {"extra line with letters", [&] { return with(0, "", "abc\r\n"); }, {err}, reset(kSample)},
        {"extra empty line", [&] { return with(0, "", "\r\n"); }, {err}, reset(kSample)},
        {"line 10 out of range", [&] { return with(10, "2"); }, {err}, reset(stoppedAtTen)},
        {"blank before a value", [&] { return with(2, " 7"); }, {}, sampleWith({{2, 7}})},
        {"trailing blank", [&] { return with(2, "7 "); }, {err}, reset(stoppedAtTwo)},
        {"hex 20", [&] { return with(2, "$14"); }, {}, sampleWith({{2, 20}})},
        {"hex 21 out of range", [&] { return with(2, "$15"); }, {err}, reset(stoppedAtTwo)},
        {"thunder on with rain off ends up off",
         [&] { return with(16, "0"); },
         {},
         sampleWith({{16, 0}, {18, 0}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness fresh;
        fresh.writeSettings(c.content());
        ASSERT_TRUE(fresh.app->FormCreate());
        std::vector<std::string> shown;
        for (auto& m : fresh.dialogs.shown) {
            shown.push_back(m.text);
            EXPECT_EQ(m.kind, form::MessageKind::Information);
            EXPECT_EQ(m.title, "Ombrelin");
        }
        EXPECT_EQ(shown, c.messages);
        fresh.app->btn2Click();
        const std::string written = fresh.readSettings();
        std::vector<int> after;
        for (std::string_view line : settings::splitLines(written))
            after.push_back(std::stoi(std::string(line)));
        EXPECT_EQ(after, c.after);
    }
}

TEST_F(Load, AFileWithErrorsIsKeptBesideBeforeTheDefaultsOverwriteIt) {
    const std::string damaged = settingsText(kSample) + "oops\r\n";
    start(damaged);
    EXPECT_EQ(messages(), (std::vector<std::string>{settings::kMessageHasErrors}));
    h.app->FormCloseQuery();
    std::ifstream kept(h.settingsPath() + settings::kDamagedSuffix, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
    EXPECT_NE(h.readSettings(), damaged);
}

TEST_F(Load, MissingFileIsReportedOnceAndTheDefaultsApply) {
    ASSERT_TRUE(h.app->FormCreate());
    EXPECT_EQ(messages(), (std::vector<std::string>{settings::kMessageNotFound}));
    EXPECT_EQ(h.f().TrackBar1.position(), 10);
    EXPECT_EQ(h.f().strckbr11.position(), 50);
    EXPECT_FALSE(h.f().chk1.checked());
    EXPECT_EQ(h.volume.words.back(), 0x7EF47EF4u);
}

TEST_F(Load, AFolderInPlaceOfTheFileCountsAsMissing) {
    mkdir(h.settingsPath().c_str(), 0755);
    ASSERT_TRUE(h.app->FormCreate());
    EXPECT_EQ(messages(), (std::vector<std::string>{settings::kMessageNotFound}));
}

TEST_F(Load, LinesRunTheirControlsOperationsOneAtATime) {
    // Line 1 starts the brook during the load; the bring-up then restarts it. Line 23 = 0 mutes
    // during the load.
    std::vector<int> v = initialSettings();
    v[0] = 1;
    v[21] = 40;
    v[22] = 0;
    start(settingsText(v));
    EXPECT_EQ(h.audio.opened, (std::vector<std::string>{"ruchey3", "ruchey3"}));
    EXPECT_EQ(h.volume.words, (std::vector<uint32_t>{0x65906590, 0, 0}));
}

TEST(Save, ExactBytesForTheInitialWindow) {
    Harness h;
    h.app->btn2Click();
    EXPECT_EQ(h.readSettings(),
              "0\r\n5\r\n1\r\n0\r\n5\r\n1\r\n0\r\n5\r\n1\r\n0\r\n5\r\n2\r\n0\r\n5\r\n2\r\n0\r\n"
              "5\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n");
}

TEST(Save, FailureMidWriteLeavesTheOldFileAndIsShown) {
    Harness h;
    h.writeSettings("old contents\r\n");
    int calls = 0;
    h.app->settingsFile().setWriteFunction([&](int fd, const void* data, size_t size) -> ssize_t {
        if (++calls == 1) return ::write(fd, data, size / 2);
        errno = ENOSPC;
        return -1;
    });
    h.app->FormCloseQuery();
    EXPECT_EQ(h.readSettings(), "old contents\r\n");
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].kind, form::MessageKind::StopError);
    EXPECT_NE(h.dialogs.shown[0].text.find(h.settingsPath()), std::string::npos);
    EXPECT_NE(h.dialogs.shown[0].text.find(std::strerror(ENOSPC)), std::string::npos);
    EXPECT_EQ(h.audio.calls.back(), "freeall") << "the close goes on";
    // No temporary file is left behind.
    const auto entries = std::distance(std::filesystem::directory_iterator(h.dir),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
}

TEST(Save, UnwritableFolderGivesTheErrorAndTheCloseCompletes) {
    // A missing folder fails for root too, unlike a read-only one.
    Harness h;
    h.writeSettings("");
    ASSERT_TRUE(h.app->FormCreate());
    h.dialogs.shown.clear();
    h.audio.clearCalls();
    std::filesystem::remove_all(h.dir);
    h.app->FormCloseQuery();
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].kind, form::MessageKind::StopError);
    EXPECT_NE(h.dialogs.shown[0].text.find(h.settingsPath()), std::string::npos);
    ASSERT_FALSE(h.audio.calls.empty());
    EXPECT_EQ(h.audio.calls.front(), "stopall") << "the close goes on";
    EXPECT_EQ(h.audio.calls.back(), "freeall");
}

// A newly made settings file is readable and writable by its owner, follows the umask and is
// never writable by others.
TEST(Save, NewFileModeFollowsTheUmask) {
    const std::pair<mode_t, mode_t> cases[] = {{022, 0644}, {077, 0600}, {002, 0664}};
    for (auto [mask, mode] : cases) {
        SCOPED_TRACE(mask);
        Harness h;
        const mode_t before = umask(mask);
        const bool saved = h.app->settingsFile().btn2Click();
        umask(before);
        ASSERT_TRUE(saved);
        struct stat st {};
        ASSERT_EQ(stat(h.settingsPath().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
}

// What the user did to an existing settings file survives a save: a read-only file is kept and
// the failure shown, a file's mode stays as it was, and a symlinked file is written through to
// its target with the link left in place.
TEST(Save, TheUsersReadOnlyModeAndSymlinkAreKept) {
    struct Case {
        const char* what;
        mode_t mode;
        bool symlinked;
        bool saved;
    };
    const Case cases[] = {{"read-only", 0444, false, false},
                          {"own mode", 0640, false, true},
                          {"symlinked", 0600, true, true},
                          {"symlinked to a read-only file", 0444, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        const std::string file = c.symlinked ? (h.dir / "real.ini").string() : h.settingsPath();
        std::ofstream(file, std::ios::binary) << "old\r\n";
        if (c.symlinked) ASSERT_EQ(symlink(file.c_str(), h.settingsPath().c_str()), 0);
        ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
        const mode_t before = umask(022);
        EXPECT_EQ(h.app->settingsFile().btn2Click(), c.saved);
        umask(before);
        std::ifstream in(file, std::ios::binary);
        const std::string content(std::istreambuf_iterator<char>(in), {});
        if (c.saved) {
            EXPECT_EQ(content, settings::serialize(h.f()));
            EXPECT_TRUE(h.dialogs.shown.empty());
        } else {
            EXPECT_EQ(content, "old\r\n");
            ASSERT_EQ(h.dialogs.shown.size(), 1u);
            EXPECT_EQ(h.dialogs.shown[0].kind, form::MessageKind::StopError);
            EXPECT_NE(h.dialogs.shown[0].text.find(std::strerror(EACCES)), std::string::npos);
        }
        struct stat st {};
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        ASSERT_EQ(lstat(h.settingsPath().c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), c.symlinked);
    }
}

// The sweep before a save removes a temporary file a killed save left, but not one a save going
// on now holds (a second login of the same user on a shared home).
TEST(Save, OnlyStrandedTemporaryFilesAreSwept) {
    Harness h;
    const std::string live = (h.dir / ".n_p_d.ini.live01").string();
    const std::string stranded = (h.dir / ".n_p_d.ini.dead01").string();
    std::ofstream(live) << "half";
    std::ofstream(stranded) << "half";
    const int fd = open(live.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    ASSERT_TRUE(h.app->settingsFile().btn2Click());
    EXPECT_TRUE(std::filesystem::exists(live)) << "the live save's file was removed";
    EXPECT_FALSE(std::filesystem::exists(stranded));
    close(fd);
    ASSERT_TRUE(h.app->settingsFile().btn2Click());
    EXPECT_FALSE(std::filesystem::exists(live)) << "once that save has died, its file goes";
}

// The loader's rules told another way: every break kind becomes LF and getline cuts the lines;
// a line is a blank-led, signed decimal or $/x/0x hexadecimal number of 32 bits; its value must
// lie in its line's range (lines past 23 only need to be numbers).
bool hasError(std::string content, const int (&ranges)[23]) {
    content = std::regex_replace(content, std::regex("\r\n|\r"), "\n");
    std::istringstream in(content);
    const std::regex number("^ *([+-]?)(?:(\\$|[xX]|0[xX])([0-9A-Fa-f]+)|([0-9]+))$");
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        std::smatch m;
        if (!std::regex_match(line, m, number)) return true;
        const bool negative = m[1] == "-";
        const bool hex = m[2].matched;
        std::string digits = hex ? m[3].str() : m[4].str();
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        if (digits.size() > (hex ? 8u : 10u)) return true;
        const uint64_t magnitude = digits.empty() ? 0 : std::stoull(digits, nullptr, hex ? 16 : 10);
        int64_t value = 0;
        if (hex) {
            const uint32_t bits =
                negative ? 0u - static_cast<uint32_t>(magnitude) : static_cast<uint32_t>(magnitude);
            value = static_cast<int32_t>(bits);
        } else {
            if (magnitude > (negative ? 2147483648ull : 2147483647ull)) return true;
            value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        }
        if (n <= 23 && (value < 0 || value > ranges[n - 1])) return true;
    }
    return false;
}

// Random bytes and mutated valid files: never a crash; the error marker is set exactly when
// some line is not an integer or a value of lines 1-23 is out of range.
TEST(LoaderFuzz, ErrorMarkerMatchesAnIndependentCheck) {
    const int ranges[23] = {1, 20, 1, 1, 20, 1, 1, 20, 1, 1,   20, 4,
                            1, 20, 4, 1, 20, 1, 3, 1,  4, 100, 1};
    std::mt19937 gen(1234);
    const std::string alphabet = "0123456789 +-$xX\r\nabcdefABCDEF\t.";
    for (int round = 0; round < 400; ++round) {
        std::string content;
        if (round % 2 == 0) {
            const int length = gen() % 80;
            for (int i = 0; i < length; ++i) content += alphabet[gen() % alphabet.size()];
        } else {
            content = settingsText(kSample);
            const int edits = 1 + gen() % 3;
            for (int i = 0; i < edits; ++i)
                content[gen() % content.size()] = alphabet[gen() % alphabet.size()];
        }
        const bool expectError = hasError(content, ranges);
        Harness h;
        h.writeSettings(content);
        h.app->btn3Click();
        EXPECT_EQ(!h.app->settingsFile().settingsError.empty(), expectError) << round;
        EXPECT_LE(h.dialogs.shown.size(), 1u);
    }
}

}  // namespace
