#pragma once

#include <optional>
#include <string>

namespace vigilo {

// The session's record that the application starts when the user logs in.
// Abstract so that the menu's switch can be tested with a fake. Main thread
// only.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    virtual bool isEnabled() = 0;
    // Each returns nothing on success, or the error's description.
    virtual std::optional<std::string> enable() = 0;
    virtual std::optional<std::string> disable() = 0;
};

}  // namespace vigilo
