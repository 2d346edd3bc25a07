// The settings file n_p_d.ini beside the executable: 23 lines of decimal integers ending in
// CR LF, one per remembered control. Loading applies the lines one at a time through the
// controls, so each change runs its control's handler exactly as a user's change would, and
// stops at the first bad line with one message. Saving replaces the file atomically, so a crash,
// a kill or a full disk mid-save leaves the old file or the new one, never a damaged one.
// UI thread only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "form/dialogs.h"
#include "form/main_form.h"

namespace settings {

constexpr int kLineCount = 23;
extern const char* const kFileName;         // "n_p_d.ini"
extern const char* const kDamagedSuffix;    // a file with errors is kept as n_p_d.ini.damaged
extern const char* const kMessageNotFound;  // "файл параметров не найден"
extern const char* const kMessageHasErrors;  // "файл параметров содержит ошибки"

// One line as an integer: optional leading blanks, at most one sign, then decimal digits that
// fit a signed 32-bit integer, or a hexadecimal number after $, x, X, 0x or 0X that fits in 32
// bits (the top bit set reads as negative). Nothing may follow.
bool parseInteger(std::string_view line, int32_t& value);

// CR LF, a lone CR and a lone LF each end a line; a break at the very end starts no new line.
std::vector<std::string_view> splitLines(std::string_view content);

// The file's contents for the controls' present state.
std::string serialize(const form::MainForm& form);

// Writes the whole content to a temporary file in the same folder, flushes it to disk and
// renames it over path. On failure path is left as it was and reason says why. A symlink is
// written through to its target, an existing file keeps its mode, and a file without write
// permission is not replaced.
using WriteFunction = std::function<ssize_t(int fd, const void* data, size_t size)>;
bool saveAtomically(const std::string& path, const std::string& content, std::string& reason,
                    const WriteFunction& write = nullptr);

class SettingsFile {
public:
    SettingsFile(form::MainForm& form, form::Dialogs& dialogs, std::string path,
                 std::string appTitle)
        : m_form(form),
          m_dialogs(dialogs),
          m_path(std::move(path)),
          m_appTitle(std::move(appTitle)) {}

    // Save. A failure is shown in an error box naming the file and the reason; returns false.
    bool btn2Click();
    // Load; sets settingsError on any problem, after showing one message.
    void btn3Click();
    // Reset the sliders, the four class lists, the master slider and the sound switch.
    void btn4Click();

    const std::string& path() const { return m_path; }
    // A file read instead of path while path does not exist yet (an installed copy's shipped
    // starting settings); the save still writes path. Empty: none.
    void setStartingFile(std::string path) { m_startingPath = std::move(path); }
    // Lets tests inject a failing write into the save.
    void setWriteFunction(WriteFunction write) { m_write = std::move(write); }

    // Empty when the last load found no error.
    std::string settingsError;

private:
    void keepDamaged(const std::string& content);
    void fail(const char* message);

    form::MainForm& m_form;
    form::Dialogs& m_dialogs;
    std::string m_path;
    std::string m_appTitle;
    std::string m_startingPath;
    WriteFunction m_write;
};

}  // namespace settings
