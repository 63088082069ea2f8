#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/privileged_runner.h"

namespace vigilo::testing {

// Records every helper request and answers `answer`; changes nothing but
// what `effect` does.
struct FakePrivilegedRunner final : PrivilegedRunner {
    Result run(const char* action, const std::vector<std::string>& arguments, Consent consent) override {
        std::lock_guard lock(mutex);
        actions.emplace_back(action);
        calls.push_back(arguments);
        consents.push_back(consent);
        if (effect) effect(arguments);
        return answer;
    }
    bool authorize(const char* action) override {
        std::lock_guard lock(mutex);
        authorized.emplace_back(action);
        return answer.ok();
    }
    Result answer{Result::Status::done, ""};
    std::function<void(const std::vector<std::string>&)> effect;
    std::mutex mutex;
    std::vector<std::string> actions;
    std::vector<std::vector<std::string>> calls;
    std::vector<Consent> consents;
    std::vector<std::string> authorized;
};

}  // namespace vigilo::testing
