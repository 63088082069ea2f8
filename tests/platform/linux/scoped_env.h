#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace vigilo::testing {

// Buses that are not there: a connection fails at once.
inline constexpr const char* kNoSystemBus = "unix:path=/nonexistent/vigilo-test/system_bus_socket";
inline constexpr const char* kNoSessionBus = "unix:path=/nonexistent/vigilo-test/session_bus_socket";

// Sets an environment variable for the life of the object, then puts back
// what was there (or nothing).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace vigilo::testing
