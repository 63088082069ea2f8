// The rules file reader: any content must either be refused as a whole or
// read into rules that write back and read again to the same rules, with
// summaries that can be built.

#include <string>

#include "fuzz_support.h"
#include "rules/rule_json.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<Rule> rules;
    try {
        rules = decodeRules(std::string(fuzz::textOf(data, size)));
    } catch (const RuleDecodeError&) {
        return 0;
    }
    for (const auto& rule : rules) {
        (void)rule.summaryLine();
        (void)rule.requiredHoldSeconds();
    }
    const std::string stored = encodeRules(rules);
    fuzz::require(decodeRules(stored) == rules, "stored rules read back as they were");
    fuzz::require(encodeRules(decodeRules(stored)) == stored, "writing again gives the same text");
    return 0;
}
