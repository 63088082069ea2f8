#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/power_management.h"

namespace vigilo::testing {

// Hands out identifiers from `nextId` on and records every call; a kind in
// `failures` is refused with its code.
struct FakePowerManagement final : PowerManagement {
    int createAssertion(AssertionKind kind, const std::string& name, AssertionId& id) override {
        created.push_back(kind);
        names.push_back(name);
        if (auto failure = failures.find(kind); failure != failures.end()) return failure->second;
        id = nextId++;
        held[id] = kind;
        return 0;
    }
    int releaseAssertion(AssertionId id) override {
        released.push_back(id);
        held.erase(id);
        return releaseResult;
    }

    std::map<AssertionKind, int> failures;
    int releaseResult = 0;
    AssertionId nextId = 101;
    std::vector<AssertionKind> created;
    std::vector<std::string> names;
    std::vector<AssertionId> released;
    std::map<AssertionId, AssertionKind> held;
};

}  // namespace vigilo::testing
