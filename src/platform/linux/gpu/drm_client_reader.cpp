#include "platform/linux/gpu/drm_client_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
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

// The link's target rules out most descriptors without reading their
// fdinfo. An entry that is no link at all (a copied or recorded /proc tree)
// is read, and its "drm-driver" key decides.
bool mayBeDrmDevice(int fdFolder, const char* name) {
    std::array<char, 64> target;
    const ssize_t n = ::readlinkat(fdFolder, name, target.data(), target.size());
    if (n < 0) return errno == EINVAL;
    return std::string_view(target.data(), static_cast<std::size_t>(n)).starts_with("/dev/dri/");
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

// A process's "fd" folder, listed; its "fdinfo" folder is opened only when
// a DRM descriptor turns up, as most processes hold none.
class DescriptorFolders {
public:
    DescriptorFolders(const std::string& procRoot, std::int32_t pid)
        : base_(procRoot + "/" + std::to_string(pid)) {
        const int fd = ::open((base_ + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            error_ = errno;
            return;
        }
        listing_ = ::fdopendir(fd);
        if (!listing_) {
            error_ = errno;
            ::close(fd);
        }
    }
    ~DescriptorFolders() {
        if (listing_) ::closedir(listing_);
        if (fdinfo_ >= 0) ::close(fdinfo_);
    }
    DescriptorFolders(const DescriptorFolders&) = delete;
    DescriptorFolders& operator=(const DescriptorFolders&) = delete;

    DIR* listing() const { return listing_; }
    int fd() const { return ::dirfd(listing_); }
    int error() const { return error_; }
    // -1, with errno set, when it cannot be opened.
    int fdinfo() {
        if (fdinfo_ < 0) fdinfo_ = ::open((base_ + "/fdinfo").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return fdinfo_;
    }

private:
    std::string base_;
    DIR* listing_ = nullptr;
    int fdinfo_ = -1;
    int error_ = 0;
};

std::optional<int> descriptorNumber(const char* name) {
    int number = 0;
    const std::string_view text(name);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

ProcessDrmClients failed(std::string problem) {
    return {ProcessDrmClients::Status::failed, {}, std::move(problem)};
}

}  // namespace

namespace {

ProcessDrmClients readEveryDescriptor(const std::string& procRoot, std::int32_t pid, std::vector<int>& notDrm) {
    DescriptorFolders folders(procRoot, pid);
    if (!folders.listing()) {
        const bool hidden = isHidden(folders.error());
        return {hidden ? ProcessDrmClients::Status::unreadable : ProcessDrmClients::Status::gone, {}, {}};
    }
    std::vector<int> known;
    known.swap(notDrm);
    ProcessDrmClients result{ProcessDrmClients::Status::read, {}, {}};
    std::size_t examined = 0;
    while (const dirent* entry = ::readdir(folders.listing())) {
        if (entry->d_name[0] == '.') continue;
        if (++examined > kMaxDescriptorsExamined) return failed("more than 4096 descriptors");
        const std::optional<int> number = descriptorNumber(entry->d_name);
        if (number && std::binary_search(known.begin(), known.end(), *number)) {
            notDrm.push_back(*number);
            continue;
        }
        if (!mayBeDrmDevice(folders.fd(), entry->d_name)) {
            if (number) notDrm.push_back(*number);
            continue;
        }
        int error = 0;
        std::optional<std::string> text;
        if (const int fdinfo = folders.fdinfo(); fdinfo >= 0) {
            text = readFdinfo(fdinfo, entry->d_name, error);
        } else {
            error = errno;
        }
        if (!text) {
            if (isHidden(error)) return {ProcessDrmClients::Status::unreadable, {}, {}};
            continue;  // closed since the listing
        }
        if (text->size() > kMaxFdinfoBytes) return failed("an fdinfo file over 16 KiB");
        DrmFdinfo info = parseDrmFdinfo(*text);
        if (info.status == DrmFdinfo::Status::malformed) return failed(std::move(info.problem));
        if (info.status == DrmFdinfo::Status::client) result.clients.push_back(std::move(info.client));
        if (info.status == DrmFdinfo::Status::notDrm && number) notDrm.push_back(*number);
    }
    std::sort(notDrm.begin(), notDrm.end());
    return result;
}

// The fd folder's size: the number of open descriptors on recent kernels, 0
// on older ones and when it cannot be told.
std::int64_t openDescriptors(const std::string& procRoot, std::int32_t pid) {
    struct stat folder;
    const std::string path = procRoot + "/" + std::to_string(pid) + "/fd";
    return ::stat(path.c_str(), &folder) == 0 ? static_cast<std::int64_t>(folder.st_size) : 0;
}

}  // namespace

ProcessDrmClients readDrmClients(const std::string& procRoot, std::int32_t pid, DescriptorMemo* memo) {
    DescriptorMemo scratch;
    DescriptorMemo& kept = memo ? *memo : scratch;
    const std::int64_t count = memo ? openDescriptors(procRoot, pid) : 0;
    if (count > 0 && count == kept.count && !kept.heldDrm) return {ProcessDrmClients::Status::read, {}, {}};
    ProcessDrmClients result = readEveryDescriptor(procRoot, pid, kept.notDrm);
    if (result.status != ProcessDrmClients::Status::read) {
        kept = DescriptorMemo{};
    } else {
        kept.count = count;
        kept.heldDrm = !result.clients.empty();
    }
    return result;
}

}  // namespace vigilo
