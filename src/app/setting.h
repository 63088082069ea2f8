#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "support/handle.h"
#include "support/published.h"

namespace vigilo {

// One persisted preference: a published value that is saved under its key at
// every write, and read from the stored preferences at construction and at
// every reload. Main thread only.
template <class T>
class Setting {
public:
    using Save = std::function<void(const std::string& key, const T& value)>;
    // The value as the stored preferences give it, adjusted for use.
    using Read = std::function<T()>;
    // Tidies a value about to be written, or says why it is refused.
    using Check = std::function<std::optional<std::string>(T& value)>;

    Setting(std::string key, Read read, Save save, Check check = {})
        : key_(std::move(key)),
          read_(std::move(read)),
          value_(read_()),
          save_(std::move(save)),
          check_(std::move(check)) {}

    const std::string& key() const { return key_; }
    const T& get() const { return value_.get(); }

    // Publishes to the observers, then saves. Writing the value it already
    // has still does both: the stored value may differ from the loaded one.
    // A value the check refuses is neither published nor saved; the reason
    // comes back.
    std::optional<std::string> set(T value) {
        if (check_) {
            if (auto refusal = check_(value)) return refusal;
        }
        value_.publish(std::move(value));
        save_(key_, value_.get());
        return std::nullopt;
    }

    // Takes the stored value again, published only when it changed and
    // never saved: the file keeps what the user wrote there.
    void reload() { value_.set(read_()); }

    [[nodiscard]] Handle subscribe(typename Published<T>::Observer observer) {
        return value_.subscribe(std::move(observer));
    }

private:
    std::string key_;
    Read read_;
    Published<T> value_;
    Save save_;
    Check check_;
};

}  // namespace vigilo
