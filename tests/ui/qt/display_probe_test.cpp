#include "ui/qt/display_probe.h"

#include <gtest/gtest.h>

namespace vigilo {
namespace {

TEST(DisplayProbe, LocalXDisplayNamesMapToTheServersSocket) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {":1", "/tmp/.X11-unix/X1"},
        {":12.0", "/tmp/.X11-unix/X12"},
        {"unix:3", "/tmp/.X11-unix/X3"},
        {"remote.example:0", std::nullopt},  // taken on trust
        {"", std::nullopt},
        {":", std::nullopt},
        {":x", std::nullopt},
    };
    for (const auto& [display, socket] : cases) EXPECT_EQ(x11SocketPath(display), socket) << display;
}

}  // namespace
}  // namespace vigilo
