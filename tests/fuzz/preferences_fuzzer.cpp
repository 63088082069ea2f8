// The preferences reader over the bytes of a hand-edited or damaged file.
// Whatever it keeps must survive being written back: saving a setting
// rewrites the whole object, and the next start must read it again.

#include <nlohmann/json.hpp>

#include "app/preferences_file.h"
#include "fuzz_support.h"

using namespace vigilo;
using nlohmann::json;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const PreferencesContents contents = parsePreferencesText(fuzz::textOf(data, size));
    fuzz::require(contents.values.is_object(), "the values are an object");
    fuzz::require(contents.problem.empty() != contents.keepOriginal, "a problem is given exactly when the file is kept");

    // As AppSettings saves them.
    const std::string written = contents.values.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    const PreferencesContents reread = parsePreferencesText(written);
    fuzz::require(!reread.keepOriginal, "what is written back reads without a problem");
    fuzz::require(reread.values.size() == contents.values.size(), "what is written back keeps every key");
    return 0;
}
