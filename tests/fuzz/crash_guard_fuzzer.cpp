// The crash-guard reader over the bytes of a damaged or hand-edited
// "crashguard.json". A state it accepts must survive being written and read
// again unchanged, since heartbeat() rewrites what it read.

#include "fuzz_support.h"
#include "safety/crash_guard_state.h"

using namespace vigilo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto state = decodeCrashGuardState(fuzz::textOf(data, size));
    if (!state) return 0;
    const std::string saved = encodeCrashGuardState(*state);
    const auto loaded = decodeCrashGuardState(saved);
    fuzz::require(loaded.has_value(), "a written state reads again");
    fuzz::require(*loaded == *state, "writing and reading keeps the state");
    fuzz::require(encodeCrashGuardState(*loaded) == saved, "rewriting a read state writes the same text");
    return 0;
}
