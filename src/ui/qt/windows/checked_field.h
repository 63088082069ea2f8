#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "ui/settings_form.h"

class QLabel;
class QLineEdit;

namespace vigilo {

// A text field that stores its text only when the edit is finished and the
// check accepts it; otherwise the reason shows under the field and nothing
// is stored, so a half-typed value never reaches the settings.
class CheckedField final : public QWidget {
public:
    using Check = std::function<std::optional<std::string>(const std::string&)>;
    using Store = std::function<void(const std::string&)>;

    CheckedField(const QString& label, bool secret, Check check, Store store);

    // The stored value changed elsewhere; an edit in progress is kept.
    void showStored(const std::string& value);

    QLineEdit& edit() const { return *edit_; }
    QLabel& problem() const { return *problem_; }

private:
    // The reason the text is refused, shown; empty when it is fine.
    bool accepts();

    Check check_;
    Store store_;
    QLineEdit* edit_;
    QLabel* problem_;
};

// A phone push field, the same in the settings and alerts windows: the
// settings' check, and the text stored trimmed.
CheckedField* pushFieldEditor(AppSettings& settings, PushField field, const QString& label, bool secret);

}  // namespace vigilo
