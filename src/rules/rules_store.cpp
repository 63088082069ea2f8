#include "rules/rules_store.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "rules/default_rules.h"
#include "rules/rule_json.h"
#include "support/atomic_file.h"
#include "support/bounded_file.h"
#include "support/rejected_file.h"

namespace vigilo {

namespace fs = std::filesystem;

namespace {

// A rules file is a few kilobytes; anything this large is not one.
constexpr std::uintmax_t kMaxRulesFileBytes = 4 * 1024 * 1024;

}  // namespace

RulesStore::RulesStore(std::optional<fs::path> folder, const Clock& clock, SerialWriter& writer)
    : clock_(clock), writer_(writer) {
    if (folder) {
        createFoldersDurably(*folder);  // a failure shows at the first write
        file_ = *folder / kRulesFileName;
    }
    load();
}

void RulesStore::load() {
    if (!file_) {
        rules_.publish(defaultRules(clock_.wallNow()));
        return;
    }
    auto read = readBoundedFile(*file_, kMaxRulesFileBytes);
    if (read.status == BoundedFile::Status::ok) {
        try {
            rules_.publish(decodeRules(read.contents));
            return;
        } catch (const RuleDecodeError& error) {
            read.problem = error.what();
        }
    }
    rules_.publish(defaultRules(clock_.wallNow()));
    if (read.status == BoundedFile::Status::missing) {
        save();
    } else {
        replaceUnreadableFile(read.problem);
    }
}

bool RulesStore::reload() {
    if (!file_) return false;
    auto read = readBoundedFile(*file_, kMaxRulesFileBytes);
    std::vector<Rule> rules;
    if (read.status == BoundedFile::Status::ok) {
        try {
            rules = decodeRules(read.contents);
        } catch (const RuleDecodeError& error) {
            read.status = BoundedFile::Status::rejected;
            read.problem = error.what();
        }
    }
    if (read.status != BoundedFile::Status::ok) {
        log_.error("Rules not reloaded: {}", read.status == BoundedFile::Status::missing ? "no rules file"
                                                                                            : read.problem);
        return false;
    }
    for (auto& rule : rules) {
        const auto& current = rules_.get();
        auto it = std::ranges::find(current, rule.id, &Rule::id);
        if (it != current.end() && it->lastTriggeredAt) rule.lastTriggeredAt = it->lastTriggeredAt;
    }
    rules_.publish(std::move(rules));
    log_.info("Rules reloaded from {}", file_->string());
    return true;
}

// The user's own rules may sit in the file behind one bad byte: they are
// kept aside for repair by hand before the built-in set takes the file's place.
void RulesStore::replaceUnreadableFile(const std::string& problem) {
    const fs::path kept = file_->string() + kRejectedFileSuffix;
    std::error_code error;
    fs::rename(*file_, kept, error);
    if (error) {
        log_.error("Rules file {} unreadable ({}) and could not be kept as {}: {}; it is left as it is",
                   file_->string(), problem, kept.string(), error.message());
        return;
    }
    log_.error("Rules file unreadable ({}); kept as {} and replaced by the built-in rules", problem, kept.string());
    save();
}

void RulesStore::save() {
    if (!file_) return;
    writer_.write(*file_, encodeRules(rules_.get()), 0644, [log = log_](const std::optional<std::string>& error) {
        if (error) log.error("Saving the rules failed: {}", *error);
    });
}

void RulesStore::flush() { writer_.flush(); }

bool RulesStore::changeRule(std::string_view id, const std::function<void(Rule&)>& change) {
    auto rules = rules_.get();
    auto it = std::ranges::find(rules, id, &Rule::id);
    if (it == rules.end()) return false;
    change(*it);
    rules_.publish(std::move(rules));
    return true;
}

void RulesStore::setEnabled(std::string_view id, bool enabled) {
    if (changeRule(id, [&](Rule& rule) { rule.isEnabled = enabled; })) save();
}

void RulesStore::markTriggered(std::string_view id, WallTime at) {
    changeRule(id, [&](Rule& rule) { rule.lastTriggeredAt = at; });
}

void RulesStore::addCustomRule(std::string_view processName) {
    auto rule = customProcessRule(processName, clock_.wallNow());
    if (!rule) return;
    auto rules = rules_.get();
    rules.push_back(std::move(*rule));
    rules_.publish(std::move(rules));
    save();
}

void RulesStore::addRule(Rule rule) {
    auto rules = rules_.get();
    rules.push_back(std::move(rule));
    rules_.publish(std::move(rules));
    save();
}

void RulesStore::changeSchedule(std::string_view id, const Schedule& schedule) {
    const WallTime now = clock_.wallNow();
    if (changeRule(id, [&](Rule& rule) { vigilo::changeSchedule(rule, schedule, now); })) save();
}

void RulesStore::deleteRules(const std::set<std::size_t>& positions) {
    auto rules = rules_.get();
    std::set<std::string> doomed;
    for (std::size_t position : positions) {
        if (position < rules.size() && !rules[position].isBuiltIn) doomed.insert(rules[position].id);
    }
    std::erase_if(rules, [&](const Rule& rule) { return !rule.isBuiltIn && doomed.contains(rule.id); });
    rules_.publish(std::move(rules));
    save();
}

void RulesStore::resetToDefaults() {
    rules_.publish(defaultRules(clock_.wallNow()));
    save();
}

}  // namespace vigilo
