#include "platform/linux/proc/process_detector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <locale>
#include <thread>

#include "common/temp_dir.h"
#include "detection/default_patterns.h"
#include "detection/display_name_collator.h"
#include "detection/process_scan.h"

extern char** environ;

namespace vigilo {
namespace {

using ::testing::UnorderedElementsAre;

class ProcessDetectorTreeTest : public ::testing::Test {
protected:
    testing::TempDir proc;
    ProcessDetector detector{proc.path().string(), 100, 4096};
};

TEST_F(ProcessDetectorTreeTest, ListsNumericEntriesNamedByTheirCommFile) {
    proc.write("1/comm", "systemd\n");
    proc.write("42/comm", "my (odd) name\n");
    proc.write("43/comm", "bad\xFFname\n");
    proc.write("46/comm", std::string("cut\0rest\n", 9));
    proc.write("44/stat", "44 (gone) Z");  // exited: no comm any more
    proc.write("45/comm", "");
    proc.write("self/comm", "self\n");
    proc.write("0/comm", "swapper\n");
    proc.write("007/comm", "padded\n");
    proc.write("99999999999/comm", "huge\n");
    proc.write("12x/comm", "mixed\n");
    EXPECT_THAT(detector.allRunning(),
                UnorderedElementsAre(DetectedProcess{1, "systemd"}, DetectedProcess{42, "my (odd) name"},
                                     DetectedProcess{43, "bad\xEF\xBF\xBDname"}, DetectedProcess{46, "cut"}));
}

TEST_F(ProcessDetectorTreeTest, RunningAsListsOnlyTheProcessesAUserOwns) {
    proc.write("10/comm", "mine\n");
    proc.write("11/comm", "theirs\n");
    ASSERT_EQ(::chown((proc / "11").c_str(), ::getuid() + 1, ::getgid()) == 0, ::getuid() == 0);
    const auto expected = ::getuid() == 0 ? std::vector<DetectedProcess>{{10, "mine"}}
                                          : std::vector<DetectedProcess>{{10, "mine"}, {11, "theirs"}};
    EXPECT_THAT(detector.runningAs(::getuid()), ::testing::UnorderedElementsAreArray(expected));
}

TEST_F(ProcessDetectorTreeTest, MissingRootGivesAnEmptyList) {
    EXPECT_TRUE(ProcessDetector((proc / "absent").string()).allRunning().empty());
}

TEST_F(ProcessDetectorTreeTest, CommandLineFromArgumentsOrTheExecutableOrNothing) {
    proc.write("50/cmdline", std::string("python3\0\0train.py\0", 18));
    proc.write("51/cmdline", std::string("\0\0", 2));
    std::filesystem::create_symlink("/opt/tools/bin/agent", proc / "51/exe");
    proc.write("52/cmdline", "");  // a kernel thread: no arguments, no executable
    EXPECT_EQ(detector.commandLine(50), "python3 train.py");
    EXPECT_EQ(detector.commandLine(51), "/opt/tools/bin/agent");
    EXPECT_EQ(detector.commandLine(52), "");
    EXPECT_EQ(detector.commandLine(53), std::nullopt);  // unreadable
}

TEST_F(ProcessDetectorTreeTest, ResourceUsageFromStat) {
    proc.write("60/stat",
               "60 (a) b) (c) S 1 60 60 0 -1 4194304 100 0 0 0 250 150 0 0 20 0 1 0 100 1000000 300 "
               "18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n");
    proc.write("61/stat", "61 (short) S 1 61 61 0 -1 4194304 100 0 0 0 250");
    const auto usage = detector.resourceUsage(60);
    ASSERT_TRUE(usage);
    EXPECT_EQ(usage->cpuTimeNanos, 4'000'000'000u);
    EXPECT_EQ(usage->residentBytes, 300u * 4096);
    EXPECT_EQ(usage->startTime, 100u);
    for (std::int32_t pid : {61, 64}) EXPECT_EQ(detector.resourceUsage(pid), std::nullopt) << pid;
}

// The rest reads the machine's own /proc.
TEST(ProcessDetectorRealProc, SeesThisProcess) {
    const ProcessDetector detector;
    const auto self = static_cast<std::int32_t>(::getpid());
    const auto processes = detector.allRunning();
    EXPECT_TRUE(std::any_of(processes.begin(), processes.end(),
                            [&](const DetectedProcess& p) { return p.pid == self; }));
    const auto commandLine = detector.commandLine(self);
    ASSERT_TRUE(commandLine);
    EXPECT_NE(commandLine->find("vigilo_linux_tests"), std::string::npos);
    const auto usage = detector.resourceUsage(self);
    ASSERT_TRUE(usage);
    EXPECT_GT(usage->residentBytes, 0u);
}

// A stand-in model server: /bin/sleep copied under the name "ollama".
class ChildNamedOllama {
public:
    explicit ChildNamedOllama(const std::filesystem::path& folder) {
        const auto program = folder / "ollama";
        std::filesystem::copy_file("/bin/sleep", program);
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        const std::string path = program.string();
        char arg0[] = "ollama", arg1[] = "30";
        char* argv[] = {arg0, arg1, nullptr};
        if (::posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    }
    // posix_spawn returns once the exec is under way; the kernel sets the
    // new name and arguments a moment later.
    bool waitUntilExecuted(const ProcessDetector& detector) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (detector.commandLine(pid_) == "ollama 30") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    ~ChildNamedOllama() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

TEST(ProcessDetectorRealProc, DefaultPatternsFindAChildNamedOllama) {
    testing::TempDir folder;
    ChildNamedOllama child(folder.path());
    ASSERT_GT(child.pid(), 0);
    const ProcessDetector detector;
    ASSERT_TRUE(child.waitUntilExecuted(detector));
    ScanInput input;
    input.patterns = defaultWatchPatterns();
    const auto result = scanProcesses(input, detector, std::chrono::steady_clock::now(),
                                      std::chrono::system_clock::now(),
                                      DisplayNameCollator(std::locale::classic()));
    const auto found = std::find_if(result.matches.begin(), result.matches.end(),
                                    [&](const WatchMatch& m) { return m.id == child.pid(); });
    ASSERT_NE(found, result.matches.end());
    EXPECT_EQ(found->displayName, "ollama");
    EXPECT_EQ(found->pattern, "ollama");
    EXPECT_TRUE(found->isActive);  // first sighting
}

}  // namespace
}  // namespace vigilo
