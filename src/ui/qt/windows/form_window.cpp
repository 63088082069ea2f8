#include "ui/qt/windows/form_window.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace vigilo {

FormWindow::FormWindow(const QString& title, QSize contentSize) {
    frameWindow(*this, title, contentSize);
    setModal(false);
}

void FormWindow::present() { presentWindow(*this); }

QLabel* paragraph(const std::string& text) {
    auto* label = new QLabel(qtext(text));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* refusalLine() {
    auto* line = new QLabel;
    line->setWordWrap(true);
    line->setTextFormat(Qt::PlainText);
    line->setStyleSheet(QStringLiteral("color: #c01c28;"));
    line->hide();
    return line;
}

void showRefusal(QLabel* line, const std::optional<std::string>& refusal) {
    line->setText(refusal ? qtext(*refusal) : QString());
    line->setVisible(refusal.has_value());
}

QPushButton* plainButton(const std::string& text) {
    auto* button = new QPushButton(qtext(text));
    button->setAutoDefault(false);
    return button;
}

QWidget* rowOf(std::initializer_list<QWidget*> widgets) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets) layout->addWidget(widget);
    layout->addStretch(1);
    return holder;
}

void clearLayout(QBoxLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        // Later: the widget may be the one whose signal led here.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        if (auto* inner = qobject_cast<QBoxLayout*>(item->layout())) clearLayout(inner);
        delete item;
    }
}

}  // namespace vigilo
