#pragma once

#include <functional>
#include <string>

namespace vigilo {

// Shows desktop notifications. Main thread only.
class LocalNotifier {
public:
    // Whether a notification service took the notification.
    using Answered = std::function<void(bool delivered)>;

    virtual ~LocalNotifier() = default;
    // Shows a notification at once, without sound. Where no notification
    // server can show it, that one notification is lost; failures are only
    // logged.
    virtual void post(const std::string& title, const std::string& body) = 0;
    // The same for a notification a person sent to see whether notifications
    // work; `answered` runs later on the loop, once, with the outcome.
    virtual void postAnswered(const std::string& title, const std::string& body, Answered answered) = 0;
};

}  // namespace vigilo
