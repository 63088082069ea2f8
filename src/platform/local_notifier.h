#pragma once

#include <string>

namespace vigilo {

// Shows desktop notifications. Main thread only.
class LocalNotifier {
public:
    virtual ~LocalNotifier() = default;
    // Shows a notification at once, without sound. Where no notification
    // server can show it, that one notification is lost; failures are only
    // logged.
    virtual void post(const std::string& title, const std::string& body) = 0;
};

}  // namespace vigilo
