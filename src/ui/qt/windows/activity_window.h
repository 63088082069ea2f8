#pragma once

#include <QWidget>

#include "support/handle.h"
#include "support/loop.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace vigilo {

class ActivityLog;

// The activity log, newest first, each entry with its icon, title and how
// long ago it happened, and "Clear". Follows the log while shown; the
// relative times are refreshed every minute. Main thread only.
class ActivityWindow final : public QWidget {
public:
    ActivityWindow(ActivityLog& log, Loop& loop);

    void present();
    void redraw();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ActivityLog& log_;
    Loop& loop_;
    QLabel* header_;
    QPushButton* clear_;
    QStackedWidget* pages_;
    QLabel* empty_;
    QTreeWidget* list_;
    Handle events_;
    Handle tick_;
};

}  // namespace vigilo
