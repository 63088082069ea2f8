#include "detection/default_patterns.h"

namespace vigilo {

const std::vector<std::string>& defaultWatchPatterns() {
    static const std::vector<std::string> patterns{
        // AI coding agents
        "claude", "codex", "cursor", "aider", "gemini", "goose", "opencode", "amp", "cline",
        "copilot", "windsurf",
        // local model servers
        "ollama", "llama-server", "llama-cli", "vllm", "lm-studio", "jan", "koboldcpp",
        // Python and training
        "python", "python3", "torchrun", "accelerate", "deepspeed", "jupyter",
        // JavaScript tooling
        "node", "npm", "pnpm", "yarn", "bun", "vite", "webpack", "turbo", "esbuild",
        // compilers and build tools
        "cargo", "go", "swift", "swiftc", "gradle", "mvn", "dotnet",
        // containers
        "docker", "docker-compose", "podman", "kubectl",
        // more build tools
        "bazel", "make", "cmake", "ninja",
    };
    return patterns;
}

}  // namespace vigilo
