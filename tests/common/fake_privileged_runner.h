#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/privileged_runner.h"

namespace vigilo::testing {

// Records every helper request and answers `answer`, at once; changes
// nothing but what `effect` does.
struct FakePrivilegedRunner final : PrivilegedRunner {
    void run(std::vector<std::string> arguments, Consent consent, Completion done) override {
        done(runAndWait(std::move(arguments), consent));
    }
    Result runAndWait(std::vector<std::string> arguments, Consent consent) override {
        std::lock_guard lock(mutex);
        calls.push_back(arguments);
        consents.push_back(consent);
        if (effect) effect(arguments);
        return answer;
    }
    void authorize(HelperVerb verb, Answer done) override {
        {
            std::lock_guard lock(mutex);
            authorized.push_back(verb);
        }
        done(answer.ok());
    }
    Result answer{Result::Status::done, ""};
    std::function<void(const std::vector<std::string>&)> effect;
    std::mutex mutex;
    std::vector<std::vector<std::string>> calls;
    std::vector<Consent> consents;
    std::vector<HelperVerb> authorized;
};

}  // namespace vigilo::testing
