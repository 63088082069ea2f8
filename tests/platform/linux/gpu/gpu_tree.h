#pragma once

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/temp_dir.h"

namespace vigilo::testing {

// A /proc- and /sys-shaped tree with GPU clients and devices in it.
class GpuTree {
public:
    GpuTree() { std::filesystem::permissions(dir.path(), std::filesystem::perms(0755)); }

    std::filesystem::path proc() const { return dir / "proc"; }
    std::filesystem::path sys() const { return dir / "sys"; }

    // A process using no CPU at all.
    void addProcess(std::int32_t pid, const std::string& name) const {
        const std::string folder = "proc/" + std::to_string(pid);
        dir.write(folder + "/comm", name + "\n");
        dir.write(folder + "/cmdline", name + std::string(1, '\0'));
        dir.write(folder + "/stat", std::to_string(pid) + " (" + name +
                                        ") S 1 1 1 0 -1 0 0 0 0 0 10 10 0 0 20 0 1 0 500 1000 25\n");
        std::filesystem::create_directories(dir / (folder + "/fd"));
        std::filesystem::create_directories(dir / (folder + "/fdinfo"));
    }
    // Descriptor `fd` of `pid` on a render node, with this fdinfo text.
    void holdDrm(std::int32_t pid, int fd, const std::string& fdinfo) const {
        const std::string folder = "proc/" + std::to_string(pid);
        const auto link = dir / (folder + "/fd/" + std::to_string(fd));
        if (!std::filesystem::is_symlink(link)) std::filesystem::create_symlink("/dev/dri/renderD128", link);
        dir.write(folder + "/fdinfo/" + std::to_string(fd), fdinfo);
    }
    // Descriptor `fd` of `pid` on something else.
    void holdFile(std::int32_t pid, int fd) const {
        const std::string folder = "proc/" + std::to_string(pid);
        std::filesystem::create_symlink("socket:[4711]", dir / (folder + "/fd/" + std::to_string(fd)));
        dir.write(folder + "/fdinfo/" + std::to_string(fd), "pos:\t0\nflags:\t02\nmnt_id:\t9\nino:\t4711\n");
    }
    // As another user's process: its descriptors cannot be listed.
    void hideDescriptors(std::int32_t pid) const {
        std::filesystem::permissions(dir / ("proc/" + std::to_string(pid) + "/fd"), std::filesystem::perms::none);
    }
    void addNvidia(const std::string& address, const std::string& runtimeStatus) const {
        const std::string folder = "sys/bus/pci/devices/" + address;
        dir.write(folder + "/vendor", "0x10de\n");
        dir.write(folder + "/class", "0x030000\n");
        dir.write(folder + "/power/runtime_status", runtimeStatus + "\n");
    }
    void setAmdgpuBusy(int percent) const {
        dir.write("sys/class/drm/card1/device/gpu_busy_percent", std::to_string(percent) + "\n");
        dir.write("sys/class/drm/card1/device/power/runtime_status", "active\n");
    }

    TempDir dir;
};

// Reads files as an ordinary user would, so a folder without permissions is
// hidden even when the tests run as root. This thread only.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::geteuid() == 0) ::setfsuid(65534);
    }
    ~AsOrdinaryUser() {
        if (::geteuid() == 0) ::setfsuid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;
};

}  // namespace vigilo::testing
