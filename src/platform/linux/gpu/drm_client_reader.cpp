#include "platform/linux/gpu/drm_client_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

namespace vigilo {
namespace {

bool isHidden(int error) { return error == EACCES || error == EPERM; }

ssize_t readRetrying(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool isDrmDevice(int fdFolder, const char* name) {
    std::array<char, 64> target;
    const ssize_t n = ::readlinkat(fdFolder, name, target.data(), target.size());
    return n > 0 && std::string_view(target.data(), static_cast<std::size_t>(n)).starts_with("/dev/dri/");
}

// The fdinfo text, or nothing when the descriptor closed meanwhile; a file
// past kMaxFdinfoBytes is returned cut, one byte over, so it fails to parse
// as a whole.
std::optional<std::string> readFdinfo(int fdinfoFolder, const char* name, int& error) {
    const int fd = ::openat(fdinfoFolder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    std::string text(kMaxFdinfoBytes + 1, '\0');
    std::size_t used = 0;
    ssize_t n = 0;
    while (used < text.size() && (n = readRetrying(fd, text.data() + used, text.size() - used)) > 0) {
        used += static_cast<std::size_t>(n);
    }
    error = n < 0 ? errno : 0;
    ::close(fd);
    if (n < 0) return std::nullopt;
    text.resize(used);
    return text;
}

// A process's "fd" folder, listed, and its "fdinfo" folder, both opened
// once so each descriptor is looked at by name relative to them.
class DescriptorFolders {
public:
    DescriptorFolders(const std::string& procRoot, std::int32_t pid) {
        const std::string base = procRoot + "/" + std::to_string(pid);
        const int fd = ::open((base + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            error_ = errno;
            return;
        }
        listing_ = ::fdopendir(fd);
        if (!listing_) {
            error_ = errno;
            ::close(fd);
            return;
        }
        fdinfo_ = ::open((base + "/fdinfo").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdinfo_ < 0) error_ = errno;
    }
    ~DescriptorFolders() {
        if (listing_) ::closedir(listing_);
        if (fdinfo_ >= 0) ::close(fdinfo_);
    }
    DescriptorFolders(const DescriptorFolders&) = delete;
    DescriptorFolders& operator=(const DescriptorFolders&) = delete;

    bool opened() const { return listing_ && fdinfo_ >= 0; }
    DIR* listing() const { return listing_; }
    int fd() const { return ::dirfd(listing_); }
    int fdinfo() const { return fdinfo_; }
    int error() const { return error_; }

private:
    DIR* listing_ = nullptr;
    int fdinfo_ = -1;
    int error_ = 0;
};

ProcessDrmClients failed(std::string problem) {
    return {ProcessDrmClients::Status::failed, {}, std::move(problem)};
}

}  // namespace

ProcessDrmClients readDrmClients(const std::string& procRoot, std::int32_t pid) {
    const DescriptorFolders folders(procRoot, pid);
    if (!folders.opened()) {
        const bool hidden = isHidden(folders.error());
        return {hidden ? ProcessDrmClients::Status::unreadable : ProcessDrmClients::Status::gone, {}, {}};
    }
    ProcessDrmClients result{ProcessDrmClients::Status::read, {}, {}};
    std::size_t examined = 0;
    while (const dirent* entry = ::readdir(folders.listing())) {
        if (entry->d_name[0] == '.') continue;
        if (++examined > kMaxDescriptorsExamined) return failed("more than 4096 descriptors");
        if (!isDrmDevice(folders.fd(), entry->d_name)) continue;
        int error = 0;
        const auto text = readFdinfo(folders.fdinfo(), entry->d_name, error);
        if (!text) {
            if (isHidden(error)) return {ProcessDrmClients::Status::unreadable, {}, {}};
            continue;  // closed since the listing
        }
        if (text->size() > kMaxFdinfoBytes) return failed("an fdinfo file over 16 KiB");
        DrmFdinfo info = parseDrmFdinfo(*text);
        if (info.status == DrmFdinfo::Status::malformed) return failed(std::move(info.problem));
        if (info.status == DrmFdinfo::Status::client) result.clients.push_back(std::move(info.client));
    }
    return result;
}

}  // namespace vigilo
