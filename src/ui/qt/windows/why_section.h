#pragma once

#include <QLabel>

#include "support/handle.h"

namespace vigilo {

class InhibitorWatch;

// The dashboard's list of what keeps the computer awake: one line per lock
// (what, who, why, process, source), live while the section is shown.
class WhySection final : public QLabel {
public:
    explicit WhySection(InhibitorWatch& watch);

    void redraw();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    InhibitorWatch& watch_;
    Handle looking_;
    Handle entries_;
};

}  // namespace vigilo
