#include "detection/watcher_interpreters.h"

namespace vigilo {

const std::unordered_set<std::string>& watcherInterpreters() {
    static const std::unordered_set<std::string> interpreters{
        "python", "python3", "node", "ruby", "perl", "bun",
        "deno",   "java",    "sh",   "bash", "zsh",  "php",
    };
    return interpreters;
}

}  // namespace vigilo
