// The platform asked of Qt at start-up: X11 through XWayland unless the user chose, or there is
// no X server at all.
#include "app/platform_choice.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

TEST(PlatformChoice, XWaylandUnlessTheUserChoseOrThereIsNoXServer) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> environment;
        std::vector<const char*> arguments;
        std::string expected;
    };
    const std::map<std::string, std::string> wayland = {{"WAYLAND_DISPLAY", "wayland-0"},
                                                        {"XDG_SESSION_TYPE", "wayland"}};
    auto with = [&wayland](std::map<std::string, std::string> extra) {
        extra.insert(wayland.begin(), wayland.end());
        return extra;
    };
    const Case cases[] = {
        {"Wayland with XWayland", with({{"DISPLAY", ":0"}}), {}, "xcb;wayland"},
        {"plain X11 session", {{"DISPLAY", ":0"}}, {}, "xcb;wayland"},
        {"Wayland only", wayland, {}, ""},
        {"empty DISPLAY", with({{"DISPLAY", ""}}), {}, ""},
        {"user's QT_QPA_PLATFORM",
         with({{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}),
         {},
         ""},
        {"empty QT_QPA_PLATFORM is no choice",
         with({{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", ""}}),
         {},
         "xcb;wayland"},
        {"-platform argument", with({{"DISPLAY", ":0"}}), {"-platform", "wayland"}, ""},
        {"--platform argument", with({{"DISPLAY", ":0"}}), {"--platform", "wayland"}, ""},
        {"another option that starts alike",
         with({{"DISPLAY", ":0"}}),
         {"-platformpluginpath", "/tmp"},
         "xcb;wayland"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"Ombrelin"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const auto environment = [&c](const char* name) {
            const auto it = c.environment.find(name);
            return it == c.environment.end() ? std::string() : it->second;
        };
        EXPECT_EQ(app::requestedPlatform(environment, static_cast<int>(argv.size()), argv.data()),
                  c.expected)
            << c.what;
    }
}

}  // namespace
