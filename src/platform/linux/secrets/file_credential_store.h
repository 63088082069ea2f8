#pragma once

#include <filesystem>

#include "platform/credential_store.h"

namespace vigilo {

// One secret kept as a file that only the user can read (mode 0600), for
// machines where no Secret Service runs. Written whole and atomically.
class FileCredentialStore final : public CredentialStore {
public:
    explicit FileCredentialStore(std::filesystem::path file) : file_(std::move(file)) {}
    std::optional<std::string> read() override;
    std::optional<std::string> write(const std::string& secret) override;
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace vigilo
