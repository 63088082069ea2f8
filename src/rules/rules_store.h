#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rule.h"
#include "rules/rule_templates.h"
#include "support/clock.h"
#include "support/log.h"
#include "support/published.h"
#include "support/serial_writer.h"

namespace vigilo {

inline constexpr const char* kRulesFileName = "rules.json";

// The user's Smart Rules, kept in "rules.json" in the folder given. Loads
// the file at construction; when there is none, or it cannot be used, the
// list starts as the built-in set, which is saved at once (an unusable file
// is first kept beside it as "rules.json.bad"). Every change but a firing
// saves the whole list in the background through `writer`, which must
// outlive the store. Main thread only.
class RulesStore {
public:
    // `folder` absent: the rules live in memory only, starting from the
    // built-in set. The folder is created when missing.
    RulesStore(std::optional<std::filesystem::path> folder, const Clock& clock, SerialWriter& writer);
    RulesStore(const RulesStore&) = delete;
    RulesStore& operator=(const RulesStore&) = delete;

    // In display order. Changed only through the operations below.
    Published<std::vector<Rule>>& rules() { return rules_; }

    // Queues the whole list for writing; errors are logged and dropped.
    void save();
    // Blocks until queued writes are on disk: called at quit, so the last
    // change is not lost with the process.
    void flush();

    // Reads the file again after an edit by hand. Each rule keeps the last
    // firing it has in memory (firings are saved only with other changes,
    // and a reload must not end a cooldown). A file that cannot be read or
    // decoded changes nothing and is logged. Returns whether it was read.
    bool reload();

    // Nothing happens for an id that is not in the list.
    void setEnabled(std::string_view id, bool enabled);
    // Records a firing in memory; the next save writes it.
    void markTriggered(std::string_view id, WallTime at);

    // The rules window's "Add a custom rule": keep awake with AI cooling
    // while a process of that name runs. Blank names are ignored.
    void addCustomRule(std::string_view processName);
    // Adds a rule the window made from one of its templates (see
    // rules/rule_templates.h) at the end of the list.
    void addRule(Rule rule);
    // New days and times for a schedule rule; nothing for another rule.
    void changeSchedule(std::string_view id, const Schedule& schedule);
    // Removes the custom rules at these positions; built-in ones stay.
    void deleteRules(const std::set<std::size_t>& positions);
    // Back to a fresh built-in set: custom rules and firings are dropped.
    void resetToDefaults();

    const std::optional<std::filesystem::path>& fileURL() const { return file_; }

private:
    void load();
    void replaceUnreadableFile(const std::string& problem);
    // Applies `change` to the first rule with this id and publishes the
    // list; false when there is no such rule.
    bool changeRule(std::string_view id, const std::function<void(Rule&)>& change);

    Logger log_{"Rules"};
    const Clock& clock_;
    SerialWriter& writer_;
    std::optional<std::filesystem::path> file_;
    Published<std::vector<Rule>> rules_;
};

}  // namespace vigilo
