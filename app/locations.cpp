#include "app/locations.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "settings/settings_file.h"

namespace app {
namespace {

const char* const kLoopFolder = "/samp_povt";
const char* const kOnceFolder = "/samp_raz";

bool isFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The folder belongs to the user running the program and the user may write into it.
bool isUsersWritableFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           access(path.c_str(), W_OK) == 0;
}

// An XDG base folder: the variable when it holds an absolute path, else the default under home
// (a relative value is to be ignored).
std::string baseFolder(const std::string& variable, const std::string& home,
                       const char* underHome) {
    if (!variable.empty() && variable[0] == '/') return variable;
    return home + underHome;
}

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

Environment Environment::fromProcess() {
    Environment env;
    env.home = variable("HOME");
    if (env.home.empty()) {
        if (const passwd* user = getpwuid(geteuid()); user && user->pw_dir) env.home = user->pw_dir;
    }
    env.configHome = variable("XDG_CONFIG_HOME");
    env.dataHome = variable("XDG_DATA_HOME");
    return env;
}

Locations findLocations(const std::string& programDir, const std::string& dataFromProgram,
                        const Environment& env) {
    const std::string beside = programDir + "/" + settings::kFileName;
    const std::string dataDir = programDir + "/" + dataFromProgram;
    const bool hasOwnRecordings =
        isFolder(programDir + kLoopFolder) || isFolder(programDir + kOnceFolder);
    const std::string userSettings =
        baseFolder(env.configHome, env.home, "/.config") + "/ombrelin/" + settings::kFileName;

    Locations found;
    found.installed = !hasOwnRecordings && isFolder(dataDir);
    if (found.installed) {
        found.settingsFile = userSettings;
        const std::string shipped = dataDir + "/" + settings::kFileName;
        if (isFile(shipped)) found.startingSettings = shipped;
        found.sampleRoots = {baseFolder(env.dataHome, env.home, "/.local/share") + "/ombrelin",
                             dataDir};
    } else if (isUsersWritableFolder(programDir)) {
        found.settingsFile = beside;
        found.sampleRoots = {programDir};
    } else {
        found.settingsFile = userSettings;
        if (isFile(beside)) found.startingSettings = beside;
        found.sampleRoots = {programDir};
    }
    return found;
}

bool makeFolderFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    const std::string folder = path.substr(0, slash);
    if (isFolder(folder)) return true;
    if (!makeFolderFor(folder)) return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace app
