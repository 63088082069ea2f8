#pragma once

#include <functional>
#include <utility>

namespace vigilo {

// Owns a registration (a timer, a watched descriptor, a subscription) and
// cancels it when destroyed or reset. Move-only. Cancel on the main thread.
class Handle {
public:
    Handle() = default;
    explicit Handle(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Handle(Handle&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            cancel();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { cancel(); }

    void cancel() {
        if (auto fn = std::exchange(cancel_, nullptr)) fn();
    }
    bool active() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

}  // namespace vigilo
