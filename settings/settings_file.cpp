#include "settings/settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace settings {

const char* const kFileName = "n_p_d.ini";
const char* const kDamagedSuffix = ".damaged";
const char* const kMessageNotFound = "файл параметров не найден";
const char* const kMessageHasErrors = "файл параметров содержит ошибки";

namespace {

// One remembered control per line: how a value is read from and applied to the window.
struct LineRule {
    int max;  // accepted range 0..max
    int (*read)(const form::MainForm&);
    void (*apply)(form::MainForm&, int);
};

int readCheck(const form::CheckBox& c) { return c.checked() ? 1 : 0; }
void applyRadioPair(form::RadioButton& first, form::RadioButton& second, int v) {
    (v == 1 ? first : second).setChecked(true);
}

#define SWITCH(c)                                                    \
    {                                                                \
        1, [](const form::MainForm& f) { return readCheck(f.c); },   \
            [](form::MainForm& f, int v) { f.c.setChecked(v == 1); } \
    }
#define SLIDER(c, max)                                               \
    {                                                                \
        max, [](const form::MainForm& f) { return f.c.position(); }, \
            [](form::MainForm& f, int v) { f.c.setPosition(v); }     \
    }
#define RADIOS(a, b)                                                      \
    {                                                                     \
        1, [](const form::MainForm& f) { return f.a.checked() ? 1 : 0; }, \
            [](form::MainForm& f, int v) { applyRadioPair(f.a, f.b, v); } \
    }
#define COMBO(c, max)                                                 \
    {                                                                 \
        max, [](const form::MainForm& f) { return f.c.itemIndex(); }, \
            [](form::MainForm& f, int v) { f.c.setItemIndex(v); }     \
    }

// A list's last index, from its table.
template <typename Row, size_t N>
constexpr int lastIndex(const Row (&)[N]) {
    return static_cast<int>(N) - 1;
}
constexpr int kLayer = form::kLayerSliderMax;
constexpr int kIntervals = lastIndex(form::kIntervalClasses);

const LineRule kLines[kLineCount] = {
    SWITCH(chk1),
    SLIDER(TrackBar1, kLayer),
    RADIOS(rb1, rb2),
    SWITCH(chk2),
    SLIDER(trckbr1, kLayer),
    RADIOS(rb3, rb4),
    SWITCH(chk5),
    SLIDER(trckbr6, kLayer),
    RADIOS(rb5, rb6),
    SWITCH(chk9),
    SLIDER(trckbr10, kLayer),
    COMBO(cbb1, kIntervals),
    SWITCH(chk6),
    SLIDER(trckbr7, kLayer),
    COMBO(cbb2, kIntervals),
    SWITCH(chk7),
    SLIDER(trckbr9, kLayer),
    SWITCH(chk8),
    COMBO(cbb3, lastIndex(form::kRainFrequencies)),
    RADIOS(rb7, rb8),
    COMBO(cbb4, lastIndex(form::kRainDurations)),
    SLIDER(strckbr11, form::kMasterSliderMax),
    SWITCH(chk10),
};

#undef SWITCH
#undef SLIDER
#undef RADIOS
#undef COMBO

// A save killed between creating its temporary file and renaming it leaves that file behind.
// A save holds an flock on its temporary file until the rename, and the kernel drops it when the
// saver dies, so a file that can be locked is provably stranded; one that is locked belongs to a
// save going on now (a second login of the same user, on a home shared between machines) and is
// left alone.
void removeStrandedTemps(const std::string& dir, const std::string& prefix) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = dir + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) unlink(path.c_str());
        close(fd);
    }
    closedir(d);
}

// A temporary file of this save, locked for as long as the save goes on. A sweep by another save
// may remove the file between its creation and the lock; then a fresh one is made.
int createLockedTemp(std::string& temp, const std::string& pattern) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        temp = pattern;
        const int fd = mkstemp(temp.data());
        if (fd < 0) return -1;
        struct stat st {};
        if (flock(fd, LOCK_EX) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
        close(fd);
    }
    errno = EAGAIN;
    return -1;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool parseInteger(std::string_view s, int32_t& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;

    if (hex) {
        uint64_t v = 0;
        for (; i < s.size(); ++i) {
            const int d = hexDigit(s[i]);
            if (d < 0) return false;
            v = v * 16 + static_cast<uint64_t>(d);
            if (v > 0xFFFFFFFFull) return false;
        }
        uint32_t bits = static_cast<uint32_t>(v);
        if (negative) bits = 0u - bits;
        value = static_cast<int32_t>(bits);
        return true;
    }

    const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + static_cast<uint64_t>(s[i] - '0');
        if (v > limit) return false;
    }
    value =
        negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : static_cast<int32_t>(v);
    return true;
}

std::vector<std::string_view> splitLines(std::string_view content) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < content.size()) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(content.substr(start, i - start));
            i += (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < content.size()) lines.push_back(content.substr(start));
    return lines;
}

std::string serialize(const form::MainForm& form) {
    std::string out;
    for (const LineRule& rule : kLines) {
        out += std::to_string(rule.read(form));
        out += "\r\n";
    }
    return out;
}

bool saveAtomically(const std::string& linkPath, const std::string& content, std::string& reason,
                    const WriteFunction& write) {
    // A settings file the user made a symlink (to keep it with their other dotfiles, say) is
    // written through to its target; renaming over the link would turn it into a plain file.
    std::string path = linkPath;
    struct stat link {};
    if (lstat(linkPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* target = realpath(linkPath.c_str(), nullptr)) {
            path = target;
            std::free(target);
        }
    }
    // A file the user made read-only pins their settings: it is kept, and the save fails as it
    // would writing it in place. Read-only means the user's own file without its owner's write
    // bit, or a file without any write bit (the bits count, not access(): root may write
    // anything). A writable file of another user in the user's folder (left by a start under
    // sudo, say) is replaced as before, so the settings are the user's again.
    struct stat old {};
    const bool exists = stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (exists &&
        ((old.st_mode & 0222) == 0 || (old.st_uid == geteuid() && (old.st_mode & S_IWUSR) == 0))) {
        reason = std::strerror(EACCES);
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string tempPrefix =
        "." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
    removeStrandedTemps(dir, tempPrefix);
    std::string temp;
    const int fd = createLockedTemp(temp, dir + "/" + tempPrefix + "XXXXXX");
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    // mkstemp creates the file private; give it the old file's mode, or for a new file the mode
    // a plain create would.
    if (exists) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }

    const char* data = content.data();
    size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = write ? write(fd, data, left) : ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = std::strerror(n < 0 ? errno : ENOSPC);
            ok = false;
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && fsync(fd) != 0) {
        reason = std::strerror(errno);
        ok = false;
    }
    // Renamed while still open, so the lock covers the file until it has its final name; the
    // data is on disk already, so closing cannot lose it.
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        reason = std::strerror(errno);
        ok = false;
    }
    close(fd);
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

bool SettingsFile::btn2Click() {
    std::string reason;
    if (saveAtomically(m_path, serialize(m_form), reason, m_write)) return true;
    m_dialogs.showMessage(form::MessageKind::StopError, m_appTitle,
                          "Не удается сохранить файл \"" + m_path + "\". " + reason);
    return false;
}

namespace {
// The whole file, or false when it cannot be opened or read (missing, a folder, no access).
bool readWholeFile(const std::string& path, std::string& content) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[4096];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        content.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return ok;
}
}  // namespace

void SettingsFile::btn3Click() {
    std::string content;
    const bool read = readWholeFile(m_path, content) ||
                      (!m_startingPath.empty() && access(m_path.c_str(), F_OK) != 0 &&
                       errno == ENOENT && readWholeFile(m_startingPath, content));
    if (!read) {
        fail(kMessageNotFound);
        return;
    }
    int lineNumber = 0;
    for (std::string_view line : splitLines(content)) {
        ++lineNumber;
        int32_t value = 0;
        if (!parseInteger(line, value)) {
            keepDamaged(content);
            fail(kMessageHasErrors);
            return;
        }
        if (lineNumber > kLineCount) continue;
        const LineRule& rule = kLines[lineNumber - 1];
        if (value < 0 || value > rule.max) {
            keepDamaged(content);
            fail(kMessageHasErrors);
            return;
        }
        rule.apply(m_form, value);
    }
}

void SettingsFile::btn4Click() {
    for (form::TrackBar* slider : m_form.layerSliders()) slider->setPosition(10);
    m_form.cbb1.setItemIndex(2);
    m_form.cbb2.setItemIndex(2);
    m_form.cbb3.setItemIndex(0);
    m_form.cbb4.setItemIndex(0);
    m_form.strckbr11.setPosition(50);
    m_form.chk10.setChecked(true);
}

void SettingsFile::keepDamaged(const std::string& content) {
    // The defaults take over and the next close rewrites the file; whatever the user or another
    // program put in it is kept beside it rather than lost.
    std::string reason;
    saveAtomically(m_path + kDamagedSuffix, content, reason);
}

void SettingsFile::fail(const char* message) {
    settingsError = "1";
    m_dialogs.showMessage(form::MessageKind::Information, m_appTitle, message);
}

}  // namespace settings
