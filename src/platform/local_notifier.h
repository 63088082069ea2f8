#pragma once

#include <string>

namespace vigilo {

// Shows desktop notifications. Main thread only.
class LocalNotifier {
public:
    virtual ~LocalNotifier() = default;
    // Whether notifications can be shown at all (a notification server was
    // there when the application started).
    virtual bool authorized() const = 0;
    // Shows a notification at once, without sound; failures are only logged.
    virtual void post(const std::string& title, const std::string& body) = 0;
};

}  // namespace vigilo
