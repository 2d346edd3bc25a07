// A private temporary folder for one test (mode 0700, under $TMPDIR or /tmp), removed with
// everything in it when the object goes. Depends on nothing of the program's, so any test links it.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace testing_support {

class TempDir {
public:
    explicit TempDir(const std::string& tag = "test") {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp && *tmp ? tmp : "/tmp") + "/ombrelin-" + tag + "-XXXXXX";
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempDir() {
        if (m_path.empty()) return;
        // A test may have left read-only folders behind; make them removable first.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                chmod(it->path().c_str(), 0700);
        }
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

}  // namespace testing_support
