#pragma once

#include <QWidget>

class QLabel;

namespace vigilo {

// A window the tray opens: titled, closable, of a given content size; Escape
// closes it (it is kept, only hidden). Main thread only.
class ToolWindow : public QWidget {
public:
    ToolWindow(const QString& title, QSize contentSize);

    // Brings the window to the front, centred the first time.
    void present();
};

// A wrapped label in the palette's secondary text colour, for explanations.
QLabel* explanationLabel(const QString& text);

}  // namespace vigilo
