#include "main/system_module.h"

#include <cstdio>
#include <mutex>

#include "main/system_module_abi.h"
#include "platform/linux/loaded_module.h"

namespace vigilo {

namespace {

const LoadedModule& systemModule() {
    static const LoadedModule module(kSystemModuleFile, "AppState");
    return module;
}

// Stands in for the power locks when the module is missing: wrap mode then
// runs the command without a lock, as it does when no bus is reachable.
class UnavailablePowerManagement final : public PowerManagement {
public:
    int createAssertion(AssertionKind, const std::string&, AssertionId&) override { return -1; }
    int releaseAssertion(AssertionId) override { return 0; }
};

class LazyJournalSink final : public LogSink {
public:
    void write(LogLevel level, std::string_view category, std::string_view message) override {
        if (LogSink* journal = open()) journal->write(level, category, message);
    }

private:
    // Recursive, and marked as tried before loading: a failed load logs,
    // and that line comes back here on the same thread.
    LogSink* open() {
        std::lock_guard lock(mutex_);
        if (!tried_) {
            tried_ = true;
            auto make = systemModule().symbol<VigiloMakeJournalSink>(kMakeJournalSinkSymbol);
            if (make) journal_.reset(make());
        }
        return journal_.get();
    }

    std::recursive_mutex mutex_;
    bool tried_ = false;
    std::unique_ptr<LogSink> journal_;
};

}  // namespace

int SystemModule::runApplication(const std::vector<std::string>& arguments) {
    auto run = systemModule().symbol<VigiloRunApplication>(kRunApplicationSymbol);
    if (!run) {
        std::fprintf(stderr, "vigilo-app: %s is missing or cannot be loaded\n", kSystemModuleFile);
        return 1;
    }
    return run(&arguments);
}

std::unique_ptr<PowerManagement> SystemModule::makePowerManagement() {
    auto make = systemModule().symbol<VigiloMakePowerManagement>(kMakePowerManagementSymbol);
    if (!make) return std::make_unique<UnavailablePowerManagement>();
    return std::unique_ptr<PowerManagement>(make());
}

std::unique_ptr<InhibitorSources> SystemModule::makeInhibitorSources() {
    auto make = systemModule().symbol<VigiloMakeInhibitorSources>(kMakeInhibitorSourcesSymbol);
    if (!make) return nullptr;
    return std::unique_ptr<InhibitorSources>(make());
}

std::shared_ptr<LogSink> SystemModule::lazyJournalSink() {
    return std::make_shared<LazyJournalSink>();
}

}  // namespace vigilo
