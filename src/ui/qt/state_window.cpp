#include "ui/qt/state_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/qt/window_frame.h"

namespace vigilo {

StateWindow::StateWindow(const QString& title, QSize contentSize, Loop& loop, Duration redrawEvery, Render render)
    : loop_(loop), redrawEvery_(redrawEvery), render_(std::move(render)) {
    frameWindow(*this, title, contentSize);
    setFixedSize(contentSize);

    icon_ = new QLabel;
    heading_ = new QLabel;
    QFont big = heading_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    heading_->setFont(big);
    subheading_ = new QLabel;
    auto* titles = new QVBoxLayout;
    titles->addWidget(heading_);
    titles->addWidget(subheading_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon_);
    top->addLayout(titles, 1);

    body_ = new QLabel;
    body_->setTextFormat(Qt::RichText);
    body_->setWordWrap(true);
    body_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* scroll = new QScrollArea;
    scroll->setWidget(body_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(scroll, 1);
}

void StateWindow::redraw() {
    const StatePage page = render_();
    icon_->setPixmap(page.icon.pixmap(40, 40));
    heading_->setText(page.heading);
    subheading_->setText(page.subheading);
    body_->setText(page.body);
}

void StateWindow::present() {
    redraw();
    presentWindow(*this);
}

// The clock-driven redraw runs only while someone can see it.
void StateWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redrawTimer_ = loop_.startRepeating(redrawEvery_, [this] { redraw(); });
}

void StateWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    redrawTimer_.cancel();
}

}  // namespace vigilo
