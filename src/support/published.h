#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "support/handle.h"

namespace vigilo {

// An observable value, read and written on the main thread. Subscribers are
// called synchronously on assignment; the returned Handle unsubscribes when
// destroyed, and may be dropped from inside a callback.
template <class T>
class Published {
public:
    using Observer = std::function<void(const T&)>;

    explicit Published(T initial = T{}) : value_(std::move(initial)), observers_(std::make_shared<Observers>()) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }

    // Publishes on every assignment, equal or not (for values that are
    // re-announced at every poll).
    void publish(T value) {
        value_ = std::move(value);
        notify();
    }

    // Publishes only when the value changes. Returns whether it changed.
    bool set(T value) {
        if (value == value_) return false;
        publish(std::move(value));
        return true;
    }

    [[nodiscard]] Handle subscribe(Observer observer) {
        auto id = observers_->next++;
        observers_->byId.emplace(id, std::make_shared<Observer>(std::move(observer)));
        std::weak_ptr<Observers> weak = observers_;
        return Handle([weak, id] {
            if (auto observers = weak.lock()) observers->byId.erase(id);
        });
    }

private:
    struct Observers {
        std::uint64_t next = 0;
        std::map<std::uint64_t, std::shared_ptr<Observer>> byId;
    };

    void notify() {
        auto snapshot = observers_->byId;  // callbacks may (un)subscribe
        for (auto& [id, observer] : snapshot) {
            if (observers_->byId.contains(id)) (*observer)(value_);
        }
    }

    T value_;
    std::shared_ptr<Observers> observers_;
};

}  // namespace vigilo
