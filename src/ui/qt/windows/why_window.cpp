#include "ui/qt/windows/why_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/why/inhibitor_table.h"
#include "app/why/inhibitor_watch.h"
#include "support/tr.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace vigilo {

namespace {

std::string kinds(const InhibitorEntry& entry) {
    std::string out;
    for (const auto& kind : entry.what) out += (out.empty() ? "" : ", ") + kind;
    return out;
}

}  // namespace

WhyWindow::WhyWindow(InhibitorWatch& watch) : watch_(watch) {
    frameWindow(*this, translated("What Keeps This Computer Awake"), QSize(kWidth, kHeight));

    auto* refresh = new QPushButton(translated("Refresh"));
    QObject::connect(refresh, &QPushButton::clicked, this, [this] { watch_.refresh(); });
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(translated("Every lock that keeps this computer or its screen awake:")), 1);
    top->addWidget(refresh);

    empty_ = new QLabel(translated("Nothing keeps this computer awake."));
    empty_->setAlignment(Qt::AlignCenter);
    table_ = new QTreeWidget;
    table_->setColumnCount(5);
    table_->setHeaderLabels({translated("What"), translated("Who"), translated("Why"), translated("Process"),
                             translated("Source")});
    table_->setRootIsDecorated(false);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTextElideMode(Qt::ElideRight);
    table_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    pages_ = new QStackedWidget;
    pages_->addWidget(empty_);
    pages_->addWidget(table_);

    hints_ = new QLabel;
    hints_->setWordWrap(true);
    hints_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_, 1);
    layout->addWidget(hints_);

    entries_ = watch_.entries.subscribe([this](const auto&) {
        if (isVisible()) redraw();
    });
}

void WhyWindow::present() {
    if (!looking_.active()) looking_ = watch_.look();
    redraw();
    presentWindow(*this);
}

void WhyWindow::redraw() {
    const auto& entries = watch_.entries.get();
    pages_->setCurrentWidget(entries.empty() ? static_cast<QWidget*>(empty_) : table_);
    table_->clear();
    QStringList hints;
    for (const auto& entry : entries) {
        auto* item = new QTreeWidgetItem(
            table_, {qtext(kinds(entry)), qtext(singleLineText(entry.who)), qtext(singleLineText(entry.why)),
                     qtext(inhibitorProcessText(entry)), qtext(originLabel(entry.origin))});
        item->setToolTip(2, qtext(singleLineText(entry.why)));
        if (!entry.endHint.empty()) {
            item->setToolTip(0, qtext(entry.endHint));
            hints << qtext(singleLineText(entry.who) + ": " + entry.endHint);
        }
    }
    hints_->setText(hints.join(QLatin1Char('\n')));
    hints_->setVisible(!hints.isEmpty());
}

void WhyWindow::showEvent(QShowEvent* event) {
    if (!looking_.active()) looking_ = watch_.look();
    redraw();
    QWidget::showEvent(event);
}

void WhyWindow::hideEvent(QHideEvent* event) {
    looking_.cancel();
    QWidget::hideEvent(event);
}

}  // namespace vigilo
