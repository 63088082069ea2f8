#pragma once

#include <QWidget>

#include "support/handle.h"

class QLabel;
class QStackedWidget;
class QTreeWidget;

namespace vigilo {

class InhibitorWatch;

// "What Keeps This Computer Awake": every sleep and idle lock on the system,
// live while shown (the window holds a look at the list), with "Refresh".
// The person's own systemd-inhibit and Vigilo rows say how to end them;
// nothing here ends another program. Main thread only.
class WhyWindow final : public QWidget {
public:
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 360;

    explicit WhyWindow(InhibitorWatch& watch);

    void present();
    void redraw();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    InhibitorWatch& watch_;
    QStackedWidget* pages_;
    QLabel* empty_;
    QTreeWidget* table_;
    QLabel* hints_;
    Handle looking_;
    Handle entries_;
};

}  // namespace vigilo
