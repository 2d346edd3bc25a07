#include "tests/support/harness.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace testing_support {

Harness::Harness() : dir(m_dir.path()) {
    app = std::make_unique<TForm_Ombrelin>(FormServices{
        audio, volume, dialogs, clock, dir.string(), "Ombrelin", [this] { return instanceFree; }});
}

Harness::~Harness() { app.reset(); }

void Harness::writeSettings(const std::string& content) {
    std::ofstream(settingsPath(), std::ios::binary) << content;
}

std::string Harness::readSettings() const {
    std::ifstream in(settingsPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string settingsText(const std::vector<int>& values, const char* eol) {
    std::string out;
    for (int v : values) out += std::to_string(v) + eol;
    return out;
}

std::vector<int> initialSettings() {
    return {0, 5, 1, 0, 5, 1, 0, 5, 1, 0, 5, 2, 0, 5, 2, 0, 5, 0, 0, 1, 0, 0, 1};
}

}  // namespace testing_support
