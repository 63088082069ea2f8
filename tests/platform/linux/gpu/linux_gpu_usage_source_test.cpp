#include "platform/linux/gpu/linux_gpu_usage_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "common/log_capture.h"
#include "detection/process_watcher.h"
#include "platform/linux/gpu/gpu_tree.h"
#include "platform/linux/gpu/drm_client_reader.h"
#include "platform/linux/proc/process_detector.h"
#include "platform/linux/scoped_env.h"
#include "support/fake_loop.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::AsOrdinaryUser;
using testing::GpuTree;

std::string renderFdinfo(std::uint64_t busyNanos, int clientId = 42) {
    return "pos:\t0\nflags:\t02100002\ndrm-driver:\ti915\ndrm-pdev:\t0000:00:02.0\ndrm-client-id:\t" +
           std::to_string(clientId) + "\ndrm-engine-render:\t" + std::to_string(busyNanos) +
           " ns\ndrm-engine-video:\t0 ns\n";
}

const WatchMatch* find(const std::vector<WatchMatch>& matches, const std::string& name) {
    for (const auto& match : matches) {
        if (match.displayName == name) return &match;
    }
    return nullptr;
}

// The whole decision over a tree: a CPU-quiet job whose GPU engine keeps
// moving stays busy past the hold-off, one whose engine stops falls idle and
// goes, and another user's server is busy through the device's own figure.
TEST(GpuAutoModeTreeTest, AJobBusyOnTheGpuStaysListedWhileAnIdleOneGoes) {
    GpuTree tree;
    tree.addProcess(100, "trainer");
    tree.addProcess(101, "renderer");
    tree.addProcess(102, "server");
    tree.holdFile(100, 3);
    tree.holdDrm(100, 4, renderFdinfo(0));
    tree.holdDrm(101, 5, renderFdinfo(0, 43));
    tree.hideDescriptors(102);
    tree.setAmdgpuBusy(80);

    FakeLoop loop;
    ProcessWatcher::Options options;
    options.patterns = {"trainer", "renderer", "server"};
    options.gpuThresholdPercent = 10;
    auto gpu = std::make_shared<LinuxGpuUsageSource>(tree.proc(), tree.sys(), FAKE_NVML_LIBRARY);
    ProcessWatcher watcher(loop, std::make_shared<ProcessDetector>(tree.proc().string(), 100, 4096), nullptr, gpu,
                           options);
    // The tree is written as ourselves and read as an ordinary user.
    const auto poll = [&](Duration after) {
        const AsOrdinaryUser reader;
        loop.fastForwardBy(after);
    };
    watcher.start();
    poll(0s);
    ASSERT_EQ(watcher.matches.get().size(), 3u);
    for (const auto& match : watcher.matches.get()) {
        EXPECT_EQ(match.gpuPercent, -1) << match.displayName << ": first sighting";
        EXPECT_EQ(match.gpuSource, "");
    }

    std::uint64_t busy = 0;
    for (int round = 1; round <= 22; ++round) {  // 66 s: past the 60 s hold-off
        busy += 1'500'000'000;                   // half of each 3 s
        tree.holdDrm(100, 4, renderFdinfo(busy));
        if (round == 1) tree.holdDrm(101, 5, renderFdinfo(busy, 43));  // then stops
        poll(3s);
    }
    const auto& matches = watcher.matches.get();
    const WatchMatch* trainer = find(matches, "trainer");
    ASSERT_NE(trainer, nullptr);
    EXPECT_TRUE(trainer->isActive);
    EXPECT_DOUBLE_EQ(trainer->gpuPercent, 50.0);
    EXPECT_EQ(trainer->gpuSource, "process");
    const WatchMatch* server = find(matches, "server");
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(server->isActive);
    EXPECT_DOUBLE_EQ(server->gpuPercent, 80.0);
    EXPECT_EQ(server->gpuSource, "device");
    EXPECT_EQ(find(matches, "renderer"), nullptr) << "idle past the hold-off";
    // No NVIDIA GPU in the tree: the library is never opened.
    EXPECT_FALSE(gpu->isNvmlOpen());
}

class NvmlTreeTest : public ::testing::Test {
protected:
    NvmlTreeTest() { setScript("device 0000:01:00.0 30\nprocess 0000:01:00.0 200 80 1000\n"); }

    void setScript(const std::string& text) { tree.dir.write("nvml-script", text); }
    std::string calls() const { return testing::readFile(tree.dir / "nvml-log").value_or(""); }

    GpuTree tree;
    const std::string script_ = (tree.dir / "nvml-script").string();
    const std::string log_ = (tree.dir / "nvml-log").string();
    testing::ScopedEnv scriptEnv_{"FAKE_NVML_SCRIPT", script_};
    testing::ScopedEnv logEnv_{"FAKE_NVML_LOG", log_};
    const MonoTime start{std::chrono::seconds(1000)};
};

TEST_F(NvmlTreeTest, ASleepingDiscreteGpuIsNeverWoken) {
    tree.addNvidia("0000:01:00.0", "suspended");
    LinuxGpuUsageSource source(tree.proc(), tree.sys(), FAKE_NVML_LIBRARY);
    EXPECT_EQ(source.measure({200}, start), (std::map<std::int32_t, GpuUse>{}));
    EXPECT_EQ(source.measure({200}, start + 3s), (std::map<std::int32_t, GpuUse>{}));
    EXPECT_FALSE(source.isNvmlOpen());
    EXPECT_EQ(calls(), "");
}

TEST_F(NvmlTreeTest, AnAwakeGpuFindsTheBusyPidUntilReleased) {
    tree.addNvidia("0000:01:00.0", "active");
    setScript("device 0000:01:00.0 30\nprocess 0000:01:00.0 200 80 1000\nprocess 0000:01:00.0 201 0 0\n");
    LinuxGpuUsageSource source(tree.proc(), tree.sys(), FAKE_NVML_LIBRARY);
    EXPECT_EQ(source.measure({200, 201}, start), (std::map<std::int32_t, GpuUse>{})) << "first sighting";
    setScript("device 0000:01:00.0 30\nprocess 0000:01:00.0 200 70 2000\nprocess 0000:01:00.0 201 0 0\n");
    EXPECT_EQ(source.measure({200, 201}, start + 3s),
              (std::map<std::int32_t, GpuUse>{{200, {70.0, false}}, {201, {0.0, false}}}));
    // No sample newer than the last one seen: the process is idle.
    EXPECT_EQ(source.measure({200}, start + 6s), (std::map<std::int32_t, GpuUse>{{200, {0.0, false}}}));
    EXPECT_TRUE(source.isNvmlOpen());
    source.release();
    EXPECT_FALSE(source.isNvmlOpen());
    EXPECT_EQ(calls(), "init\nshutdown\n");
}

TEST_F(NvmlTreeTest, ALibraryMissingOrIncompleteMeasuresNothingAndSaysSoOnce) {
    struct Case {
        const char* library;
        const char* logged;
    };
    for (const Case& c : {Case{"/nonexistent/libnvidia-ml.so.1", "cannot open shared object file"},
                          Case{FAKE_NVML_INCOMPLETE_LIBRARY,
                               "libnvidia-ml.so.1 has no nvmlDeviceGetProcessUtilization"}}) {
        SCOPED_TRACE(c.library);
        GpuTree machine;
        machine.addNvidia("0000:01:00.0", "active");
        testing::LogCapture log;
        LinuxGpuUsageSource source(machine.proc(), machine.sys(), c.library);
        for (int poll = 0; poll < 3; ++poll) {
            EXPECT_EQ(source.measure({200}, start + poll * 3s), (std::map<std::int32_t, GpuUse>{}));
        }
        EXPECT_FALSE(source.isNvmlOpen());
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_THAT(log.lines()[0], HasSubstr(c.logged));
    }
    EXPECT_EQ(calls(), "");
}

TEST(DrmClientReaderTest, OnlyAWholeReadableSetOfDescriptorsIsMeasured) {
    GpuTree tree;
    tree.addProcess(10, "fine");
    tree.holdFile(10, 0);
    tree.holdDrm(10, 7, renderFdinfo(5));
    tree.addProcess(11, "huge");
    tree.holdDrm(11, 7, renderFdinfo(5) + std::string(kMaxFdinfoBytes, 'x'));
    tree.addProcess(12, "crowded");
    for (std::size_t fd = 0; fd <= kMaxDescriptorsExamined; ++fd) {
        std::filesystem::create_symlink("pipe:[1]", tree.proc() / "12/fd" / std::to_string(fd));
    }
    tree.addProcess(13, "malformed");
    tree.holdDrm(13, 7, "drm-driver:\tpanfrost\ndrm-client-id:\t-1\n");
    tree.addProcess(14, "other user's");
    tree.hideDescriptors(14);
    // A recorded tree whose descriptors are plain files: the fdinfo decides.
    tree.addProcess(16, "recorded");
    tree.dir.write("proc/16/fd/3", "");
    tree.dir.write("proc/16/fdinfo/3", "pos:\t0\nflags:\t02\n");
    tree.dir.write("proc/16/fd/7", "");
    tree.dir.write("proc/16/fdinfo/7", renderFdinfo(5));

    struct Case {
        std::int32_t pid;
        ProcessDrmClients::Status status;
        std::size_t clients;
        const char* problem;
    };
    const AsOrdinaryUser reader;
    for (const Case& c : {Case{10, ProcessDrmClients::Status::read, 1, ""},
                          Case{11, ProcessDrmClients::Status::failed, 0, "16 KiB"},
                          Case{12, ProcessDrmClients::Status::failed, 0, "4096 descriptors"},
                          Case{13, ProcessDrmClients::Status::failed, 0, "drm-client-id"},
                          Case{14, ProcessDrmClients::Status::unreadable, 0, ""},
                          Case{15, ProcessDrmClients::Status::gone, 0, ""},
                          Case{16, ProcessDrmClients::Status::read, 1, ""}}) {
        SCOPED_TRACE(c.pid);
        const ProcessDrmClients read = readDrmClients(tree.proc().string(), c.pid);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.clients.size(), c.clients);
        EXPECT_THAT(read.problem, HasSubstr(c.problem));
    }

    // Descriptors known not to be DRM ones are not looked at again; the memo
    // follows what is open now, and a failed read empties it.
    DescriptorMemo memo;
    EXPECT_EQ(readDrmClients(tree.proc().string(), 10, &memo).clients.size(), 1u);
    EXPECT_EQ(memo.notDrm, (std::vector<int>{0}));
    EXPECT_TRUE(memo.heldDrm);
    memo.notDrm = {0, 3, 7};
    EXPECT_TRUE(readDrmClients(tree.proc().string(), 10, &memo).clients.empty());
    EXPECT_EQ(memo.notDrm, (std::vector<int>{0, 7}));
    DescriptorMemo ofMalformed{{1}, 0, false};
    readDrmClients(tree.proc().string(), 13, &ofMalformed);
    EXPECT_EQ(ofMalformed.notDrm, std::vector<int>{});
}

}  // namespace
}  // namespace vigilo
