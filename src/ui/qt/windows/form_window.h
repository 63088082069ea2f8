#pragma once

#include <QDialog>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "support/handle.h"
#include "ui/qt/qt_text.h"

class QBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace vigilo {

// A window the person works in: made once, kept when closed, brought to the
// front on later use. A dialog only for its keyboard handling (Escape
// closes, Return presses the default button); never modal.
class FormWindow : public QDialog {
public:
    FormWindow(const QString& title, QSize contentSize);

    // Shows the window, centred the first time, in front of the others.
    void present();
    // Keeps the subscriptions that redraw the window for its lifetime.
    void keep(Handle subscription) { subscriptions_.push_back(std::move(subscription)); }

private:
    std::vector<Handle> subscriptions_;
};

// Small pieces the windows share.
// A wrapping label for running text.
QLabel* paragraph(const std::string& text);
// A line under a field saying why what was typed was refused; hidden while
// there is nothing to say.
QLabel* refusalLine();
void showRefusal(QLabel* line, const std::optional<std::string>& refusal);
// A button that Return never presses unless it is the window's default:
// Return belongs to the field it is typed in.
QPushButton* plainButton(const std::string& text);
// Widgets side by side, then room to spare.
QWidget* rowOf(std::initializer_list<QWidget*> widgets);
// Removes and deletes every item of a layout, for parts that are rebuilt.
void clearLayout(QBoxLayout* layout);

}  // namespace vigilo
