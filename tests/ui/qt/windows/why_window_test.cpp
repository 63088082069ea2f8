#include "ui/qt/windows/why_window.h"
#include "ui/qt/windows/why_section.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/why/inhibitor_merge.h"
#include "app/why/inhibitor_watch.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

class ScriptedSources final : public InhibitorSources {
public:
    InhibitorSnapshot read() override {
        ++reads;
        return {.logind = locks};
    }
    Handle watch(std::function<void()> onChange) override {
        changed = std::move(onChange);
        return Handle([this] { changed = nullptr; });
    }
    std::vector<LogindLock> locks;
    std::function<void()> changed;
    int reads = 0;
};

std::vector<std::string> column(const QTreeWidget& table, int index) {
    std::vector<std::string> out;
    for (int i = 0; i < table.topLevelItemCount(); ++i) out.push_back(table.topLevelItem(i)->text(index).toStdString());
    return out;
}

// Live while shown, read again by Refresh, and only ever a hint, never a
// button, for ending a lock; hidden, it stops following the services.
TEST(WhyWindow, FollowsTheLocksWhileShownAndOnlyHintsHowToEndThePersonsOwn) {
    FakeLoop loop;
    ScriptedSources sources;
    sources.locks = {{.what = "sleep", .who = "backup", .why = "Nightly backup", .mode = "block", .uid = 1000,
                      .pid = 40,
                      .holder = {.name = "systemd-inhibit", .owner = 1000,
                                 .child = HolderProcess::Child{41, 1000, "rsync -a /home /mnt/backup"}}}};
    const auto own = ownInhibitorRows({.reason = "Keep Awake", .pid = 880, .uid = 1000, .command = "vigilo-app"});
    InhibitorWatch watch(loop, sources, {.userUid = 1000, .applicationPid = 880, .ownRows = [&] { return own; }});
    WhyWindow window(watch);
    EXPECT_EQ(sources.reads, 0);

    window.present();
    EXPECT_EQ(window.windowTitle().toStdString(), "What Keeps This Computer Awake");
    auto* table = window.findChild<QTreeWidget*>();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(column(*table, 1), (std::vector<std::string>{"backup", "Vigilo"}));
    EXPECT_EQ(column(*table, 3),
              (std::vector<std::string>{"rsync -a /home /mnt/backup (pid 41)", "vigilo-app (pid 880)"}));
    std::vector<std::string> buttons;
    for (auto* button : window.findChildren<QPushButton*>()) buttons.push_back(button->text().toStdString());
    EXPECT_EQ(buttons, std::vector<std::string>{"Refresh"});
    bool hinted = false;
    for (auto* label : window.findChildren<QLabel*>()) {
        hinted |= label->text().contains("Ctrl+C where it runs (pid 41)");
    }
    EXPECT_TRUE(hinted);

    sources.locks.push_back({.what = "idle", .who = "player", .why = "Video", .mode = "block", .pid = 7});
    ASSERT_TRUE(sources.changed);
    sources.changed();
    loop.fastForwardBy(InhibitorWatch::kCoalesce);
    EXPECT_EQ(column(*table, 1), (std::vector<std::string>{"backup", "player", "Vigilo"}));
    const int reads = sources.reads;
    window.findChild<QPushButton*>()->click();
    EXPECT_EQ(sources.reads, reads + 1);

    window.hide();
    EXPECT_FALSE(sources.changed);
}

// The dashboard's section: one line per lock, read only while shown.
TEST(WhySection, ListsTheLocksWhileShown) {
    FakeLoop loop;
    ScriptedSources sources;
    sources.locks = {{.what = "idle:sleep", .who = "player", .why = "Video <b>", .mode = "block", .pid = 7}};
    InhibitorWatch watch(loop, sources, {.userUid = 1000});
    WhySection section(watch);
    EXPECT_EQ(sources.reads, 0);
    section.show();
    EXPECT_EQ(sources.reads, 1);
    EXPECT_TRUE(section.text().contains("idle, sleep"));
    EXPECT_TRUE(section.text().contains("Video &lt;b&gt;"));
    section.hide();
    EXPECT_FALSE(sources.changed);
}

}  // namespace
}  // namespace vigilo
