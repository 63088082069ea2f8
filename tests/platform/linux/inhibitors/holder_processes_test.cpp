#include "platform/linux/inhibitors/holder_processes.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

// A /proc-shaped tree: each process's comm, stat (with its parent) and cmdline.
void process(const testing::TempDir& proc, int pid, int parent, const std::string& comm, const std::string& cmdline) {
    const std::string folder = std::to_string(pid);
    proc.write(folder + "/comm", comm + "\n");
    proc.write(folder + "/stat", std::to_string(pid) + " (" + comm + ") S " + std::to_string(parent) + " 1 1 0");
    proc.write(folder + "/cmdline", cmdline);
}

// The holder's name and owner for every lock; the first child only for the
// programs that just wait for another (systemd-inhibit, wrap mode), found
// by its parent in stat even when its name has spaces and parentheses.
TEST(HolderProcesses, NamesEachHolderAndFindsTheChildOfThoseThatOnlyWait) {
    testing::TempDir proc;
    process(proc, 4120, 1, "systemd-inhibit", std::string("systemd-inhibit\0--what=sleep\0rsync\0", 35));
    process(proc, 4121, 4120, "rsync) S 1 (x", std::string("rsync\0-a\0/home\0", 15));
    process(proc, 4122, 4120, "rsync", std::string("rsync\0-a\0/home\0/mnt/backup\0", 28));
    process(proc, 77, 1, "firefox", std::string("firefox\0", 8));
    process(proc, 78, 77, "firefox-child", std::string("child\0", 6));
    proc.write("self/stat", "garbage");

    std::vector<LogindLock> locks{{.pid = 4120}, {.pid = 77}, {.pid = 99999}};
    describeHolders(locks, proc.path());

    const auto owner = static_cast<std::uint32_t>(::getuid());
    EXPECT_EQ(locks[0].holder,
              (HolderProcess{.name = "systemd-inhibit", .owner = owner,
                             .child = HolderProcess::Child{4121, owner, "rsync -a /home"}}));
    EXPECT_EQ(locks[1].holder, (HolderProcess{.name = "firefox", .owner = owner}));
    EXPECT_EQ(locks[2].holder, HolderProcess{});  // exited
}

}  // namespace
}  // namespace vigilo
