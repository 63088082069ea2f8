#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vigilo {

// Removes what writes cut short by a kill left behind: the temporary
// siblings ".<name>.XXXXXX" (six letters or digits, as mkstemp makes them)
// that writeFileAtomically() creates beside each of `names` in `folder`.
// Only regular files of exactly that form go; anything else is left alone.
// Call it only while holding the instance lock: another instance's write in
// flight looks just the same. Returns the paths removed.
std::vector<std::filesystem::path> removeStaleTemporaries(const std::filesystem::path& folder,
                                                          const std::vector<std::string>& names);

}  // namespace vigilo
