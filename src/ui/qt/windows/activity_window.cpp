#include "ui/qt/windows/activity_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "activity/activity_log.h"
#include "support/tr.h"
#include "ui/activity_view_model.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace vigilo {

ActivityWindow::ActivityWindow(ActivityLog& log, Loop& loop) : log_(log), loop_(loop) {
    frameWindow(*this, qtext(vigilo::tr("Vigilo Activity")), QSize(380, 460));

    header_ = new QLabel;
    QFont bold = header_->font();
    bold.setBold(true);
    header_->setFont(bold);
    clear_ = new QPushButton(qtext(vigilo::tr("Clear")));
    QObject::connect(clear_, &QPushButton::clicked, this, [this] { log_.clear(); });
    auto* top = new QHBoxLayout;
    top->addWidget(header_, 1);
    top->addWidget(clear_);

    empty_ = new QLabel;
    empty_->setAlignment(Qt::AlignCenter);
    list_ = new QTreeWidget;
    list_->setColumnCount(2);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setTextElideMode(Qt::ElideRight);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    pages_ = new QStackedWidget;
    pages_->addWidget(empty_);
    pages_->addWidget(list_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_, 1);

    events_ = log_.events().subscribe([this](const auto&) {
        if (isVisible()) redraw();
    });
}

void ActivityWindow::present() {
    redraw();
    presentWindow(*this);
}

void ActivityWindow::redraw() {
    const ActivityView view = activityView(log_.events().get(), loop_.clock().wallNow());
    header_->setText(qtext(view.header));
    clear_->setEnabled(view.canClear);
    empty_->setText(qtext(view.emptyText));
    list_->clear();
    // Rows whose icon the theme lacks keep their titles in line.
    QPixmap transparent(list_->iconSize().isValid() ? list_->iconSize() : QSize(16, 16));
    transparent.fill(Qt::transparent);
    const QIcon blank(transparent);
    for (const ActivityRow& row : view.rows) {
        auto* item = new QTreeWidgetItem(list_, {qtext(row.title), qtext(row.when)});
        const QIcon icon = QIcon::fromTheme(qtext(row.iconName));
        item->setIcon(0, icon.pixmap(transparent.size()).isNull() ? blank : icon);
        item->setToolTip(0, qtext(row.title));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setForeground(1, palette().brush(QPalette::PlaceholderText));
    }
    pages_->setCurrentWidget(view.rows.empty() ? static_cast<QWidget*>(empty_) : list_);
}

// "5 minutes ago" ages while the window is open.
void ActivityWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    tick_ = loop_.startRepeating(std::chrono::minutes(1), [this] { redraw(); });
}

void ActivityWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    tick_.cancel();
}

}  // namespace vigilo
