#include "platform/linux/secrets/file_credential_store.h"

#include <sys/stat.h>

#include "support/atomic_file.h"
#include "support/bounded_file.h"

namespace vigilo {

namespace {

// Far more than any configuration; anything bigger is not ours.
constexpr std::uintmax_t kMaxSecretFileSize = 1 << 20;

}  // namespace

std::optional<std::string> FileCredentialStore::read() {
    auto file = readBoundedFile(file_, kMaxSecretFileSize);
    if (file.status != BoundedFile::Status::ok) return std::nullopt;
    // A copy restored from a backup may have lost its mode; close it again.
    struct stat info {};
    if (::stat(file_.c_str(), &info) == 0 && (info.st_mode & 077) != 0) ::chmod(file_.c_str(), 0600);
    return std::move(file.contents);
}

std::optional<std::string> FileCredentialStore::write(const std::string& secret) {
    return writeFileAtomically(file_, secret, 0600);
}

}  // namespace vigilo
