#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "support/handle.h"
#include "support/loop.h"

class QLabel;

namespace vigilo {

// What a read-only state window shows at one moment.
struct StatePage {
    QIcon icon;
    QString heading;
    QString subheading;
    QString body;  // rich text
};

// A read-only window over the live state: redrawn when an observed value
// changes and on a repeating timer while it is shown. Kept when closed.
class StateWindow final : public QWidget {
public:
    using Render = std::function<StatePage()>;

    StateWindow(const QString& title, QSize contentSize, Loop& loop, Duration redrawEvery, Render render);

    // Redraws at once and then whenever `subscriptions` report a change
    // (the window keeps the handles).
    void follow(std::vector<Handle> subscriptions) { subscriptions_ = std::move(subscriptions); }
    void redraw();
    // Brings the window to the front, centred the first time.
    void present();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Loop& loop_;
    Duration redrawEvery_;
    Render render_;
    QLabel* icon_;
    QLabel* heading_;
    QLabel* subheading_;
    QLabel* body_;
    std::vector<Handle> subscriptions_;
    Handle redrawTimer_;
};

}  // namespace vigilo
