#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "cli/command_runner.h"

namespace vigilo::testing {

// A child whose output and exit the test writes through real pipes. Its
// output stays open after the exit, as when a background job holds it.
struct ScriptedChild final : ChildProcess {
    int output[2]{-1, -1}, exit[2]{-1, -1};
    std::optional<int> status;
    ScriptedChild() {
        EXPECT_EQ(::pipe2(output, O_NONBLOCK | O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(exit, O_NONBLOCK | O_CLOEXEC), 0);
    }
    ~ScriptedChild() override {
        for (int fd : {output[0], output[1], exit[0], exit[1]}) ::close(fd);
    }
    pid_t pid() const override { return 4242; }
    int outputFd() const override { return output[0]; }
    int exitFd() const override { return exit[0]; }
    std::optional<int> takeExitStatus() override { return status; }
    void terminate() override {}
    void write(std::string_view bytes) {
        ASSERT_EQ(::write(output[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void finish(int code) {
        status = code;
        EXPECT_EQ(::write(exit[1], "x", 1), 1);
    }
};

// Starts scripted children, or fails with `failure` when it is set.
struct ScriptedLauncher final : ChildProcessLauncher {
    ScriptedChild* last = nullptr;  // gone once the runner has seen it end
    std::string failure;
    std::string commandText;
    int starts = 0;
    std::variant<std::unique_ptr<ChildProcess>, std::string> start(const std::string& text) override {
        ++starts;
        commandText = text;
        if (!failure.empty()) return failure;
        auto child = std::make_unique<ScriptedChild>();
        last = child.get();
        return std::unique_ptr<ChildProcess>(std::move(child));
    }
};

}  // namespace vigilo::testing
