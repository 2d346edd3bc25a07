// Where the program finds its settings file and its recordings. Two layouts:
//   - a portable folder: the executable with samp_povt/ and samp_raz/ (or at least no installed
//     data folder) beside it. Recordings come from beside the program; so does the settings file
//     when the folder belongs to the user running it and is writable. A folder shared read-only
//     keeps each user's settings under their configuration folder instead, starting from the
//     folder's own n_p_d.ini when it has one.
//   - an installed copy: bin/ombrelin with share/ombrelin/ beside bin/. Settings live in
//     $XDG_CONFIG_HOME/ombrelin/, starting from the data folder's n_p_d.ini until the user has
//     one; each recording is looked up in $XDG_DATA_HOME/ombrelin/ first, then in the data folder.
// Nothing is ever written into a program folder that is not the portable folder of its user.
#pragma once

#include <string>
#include <vector>

namespace app {

struct Locations {
    bool installed = false;
    std::string settingsFile;      // read at start, written at close
    std::string startingSettings;  // read instead while settingsFile does not exist; "" for none
    std::vector<std::string> sampleRoots;  // folders with samp_povt/ and samp_raz/, in search order
};

// The environment the decision reads; fromProcess() takes it from the running process.
struct Environment {
    std::string home;        // $HOME, or the user database's home folder
    std::string configHome;  // $XDG_CONFIG_HOME as set ("" when unset)
    std::string dataHome;    // $XDG_DATA_HOME as set ("" when unset)
    static Environment fromProcess();
};

// programDir: the executable's folder, no trailing separator. dataFromProgram: the installed data
// folder relative to the executable's folder ("../share/ombrelin" for the usual layout).
Locations findLocations(const std::string& programDir, const std::string& dataFromProgram,
                        const Environment& env);

// Creates the folder that will hold the file at path, and its parents, private to the user
// (a configuration folder may hold what others should not read). False when it cannot be made.
bool makeFolderFor(const std::string& path);

}  // namespace app
