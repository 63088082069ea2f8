#include "ui/qt/windows/rules_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/app_state_fixture.h"
#include "ui/qt/windows/schedule_editor.h"

namespace vigilo {
namespace {

using RulesWindowTest = testing::AppStateTest;

nlohmann::ordered_json storedRules(SerialWriter& writer, const std::filesystem::path& file) {
    writer.flush();
    std::ifstream in(file);
    return nlohmann::ordered_json::parse(in);
}

TEST_F(RulesWindowTest, ACustomRuleTypedInTheWindowReachesTheRulesFileAndItsDeleteRemovesIt) {
    RulesStore store(dir.path() / "Vigilo", loop.clock(), writer);
    const auto file = *store.fileURL();
    RulesWindow window(store, settings, loop);
    window.present();

    QTest::keyClicks(&window.processField(), " \t");
    QTest::keyClick(&window.processField(), Qt::Key_Return);
    EXPECT_EQ(storedRules(writer, file).size(), 9u) << "a blank name adds nothing";

    QTest::keyClicks(&window.processField(), " Blender ");
    QTest::keyClick(&window.processField(), Qt::Key_Return);
    const auto stored = storedRules(writer, file);
    ASSERT_EQ(stored.size(), 10u);
    EXPECT_EQ(stored.back()["name"], "blender \u2192 keep awake + AI cooling");
    EXPECT_EQ(stored.back()["conditions"][0]["processRunning"]["pattern"], "blender");
    EXPECT_FALSE(stored.back()["isBuiltIn"].get<bool>());
    EXPECT_TRUE(window.processField().text().isEmpty());

    // Only the custom rule has a delete button; rows made later still come
    // before the templates in the tab order.
    auto deletes = window.findChildren<QToolButton*>();
    deletes.removeIf([](QToolButton* button) { return button->text() != "Delete"; });
    ASSERT_EQ(deletes.size(), 1);
    EXPECT_EQ(deletes.front()->nextInFocusChain(), &window.templateChoice());
    deletes.front()->click();
    EXPECT_EQ(storedRules(writer, file).size(), 9u);
}

TEST_F(RulesWindowTest, TheScheduleAndRemoteTemplatesAddRulesThatHoldAndAScheduleRowEditsItsTimes) {
    RulesStore store(dir.path() / "Vigilo", loop.clock(), writer);
    const auto file = *store.fileURL();
    RulesWindow window(store, settings, loop);
    window.present();

    window.templateChoice().setCurrentIndex(static_cast<int>(RulesWindow::Template::schedule));
    window.addButton().click();  // as offered: Monday to Friday, 09:00 to 18:00
    window.templateChoice().setCurrentIndex(static_cast<int>(RulesWindow::Template::remoteSession));
    window.addButton().click();
    auto stored = storedRules(writer, file);
    ASSERT_EQ(stored.size(), 11u);
    EXPECT_EQ(stored[9]["name"], "Weekdays 09:00\u201318:00 \u2192 keep awake");
    EXPECT_EQ(stored[9]["conditions"][0].dump(),
              R"({"timeWindow":{"startMinutes":540,"endMinutes":1080,"weekdays":[1,2,3,4,5]}})");
    EXPECT_EQ(stored[9]["actions"].dump(), R"([{"keepAwakeWhileHeld":{}}])");
    EXPECT_EQ(stored[10]["conditions"].dump(), R"([{"remoteSessionActive":{}}])");
    EXPECT_EQ(stored[10]["actions"].dump(), R"([{"keepAwakeWhileHeld":{}}])");
    EXPECT_EQ(window.editButton(10), nullptr) << "only a schedule has days and times to edit";

    ASSERT_NE(window.editButton(9), nullptr);
    window.editButton(9)->click();
    auto* edit = window.findChild<ScheduleDialog*>();
    ASSERT_NE(edit, nullptr);
    for (int day = 1; day <= 4; ++day) edit->editor().dayButton(day).click();
    edit->editor().startField().setTime(QTime(22, 0));
    edit->editor().endField().setTime(QTime(7, 0));
    edit->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    stored = storedRules(writer, file);
    EXPECT_EQ(stored[9]["name"], "Fri 22:00\u201307:00 \u2192 keep awake");
    EXPECT_EQ(stored[9]["conditions"][0].dump(),
              R"({"timeWindow":{"startMinutes":1320,"endMinutes":420,"weekdays":[5]}})");
}

}  // namespace
}  // namespace vigilo
