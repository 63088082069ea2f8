#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "main/ui_module_abi.h"
#include "support/handle.h"
#include "support/loop.h"
#include "ui/dashboard_view_model.h"

class QGridLayout;
class QLabel;

namespace vigilo {

class ReadingsHistory;

// The dashboard: the safety verdict, each workload with a small line of its
// CPU (and GPU) over ten minutes, the system's figures, recent alerts, and
// two charts: the last 24 hours' keep-awake band from the activity log and
// temperature and battery over the last hour. The figures redraw every 2
// seconds while shown, the charts every 30 seconds. `closed` runs on the
// loop once the window has been closed: its owner lets it go, charts and all.
class DashboardWindow final : public QWidget {
public:
    DashboardWindow(const TrayServices& services, Loop& loop, const ReadingsHistory& history,
                    std::function<void()> closed);

    void redraw();
    void present();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void drawWorkloads(const std::vector<WorkloadRow>& rows);
    void drawCharts();

    const TrayServices services_;
    Loop& loop_;
    const ReadingsHistory& history_;
    QLabel* icon_;
    QLabel* verdict_;
    QGridLayout* workloads_;
    QLabel* noWorkloads_;
    QLabel* system_;
    QLabel* alerts_;
    QWidget* band_;
    QWidget* lastHour_;
    std::vector<std::pair<std::string, QWidget*>> sparklines_;
    std::vector<std::string> shownNames_;
    std::vector<Handle> subscriptions_;
    Handle redrawTimer_;
    Handle chartTimer_;
    std::function<void()> closed_;
    LifeToken life_;
};

}  // namespace vigilo
