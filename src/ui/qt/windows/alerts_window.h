#pragma once

#include <vector>

#include "main/ui_module_abi.h"
#include "support/handle.h"
#include "ui/qt/windows/tool_window.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;

namespace vigilo {

class CheckedField;
struct WebhookSectionView;

// The alerts window: the four webhook channels with their switches, fields
// and tests, the phone push provider with its fields and a test, and the
// watchdog's recent alerts. Webhook settings go to the webhook manager
// (the credential store), push settings to the settings. Main thread only.
class AlertsWindow final : public ToolWindow {
public:
    AlertsWindow(const TrayServices& services, Loop& loop);

    // The fields in the order of the window, for tests.
    const std::vector<CheckedField*>& fields() const { return fields_; }

private:
    QWidget* webhookSection(const WebhookSectionView& section);
    QWidget* pushSection();
    QWidget* recentAlertsSection();
    void showPushProvider();
    void showRecentAlerts();
    void showEvent(QShowEvent* event) override;

    TrayServices services_;
    Loop& loop_;
    std::vector<CheckedField*> fields_;
    QComboBox* provider_ = nullptr;
    QFormLayout* pushForm_ = nullptr;
    std::vector<QFormLayout*> webhookForms_;
    std::vector<QWidget*> ntfyRows_, pushoverRows_;
    QPushButton* pushTest_ = nullptr;
    QLabel* recentAlerts_ = nullptr;
    std::vector<Handle> subscriptions_;
};

}  // namespace vigilo
