// One environment variable changed for a scope: what it held before (or its absence) comes back
// when the object goes, also when a failed check ends the test early.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

class ScopedEnv {
public:
    // Keeps the variable as it is, to be put back at the end of the scope.
    explicit ScopedEnv(std::string name) : m_name(std::move(name)) {
        if (const char* v = std::getenv(m_name.c_str())) m_saved = v;
    }
    // The same, and sets it to value (nullptr: unsets it).
    ScopedEnv(std::string name, const char* value) : ScopedEnv(std::move(name)) { set(value); }
    ~ScopedEnv() { set(m_saved ? m_saved->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const char* value) const {
        if (value)
            setenv(m_name.c_str(), value, 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

}  // namespace testing_support
