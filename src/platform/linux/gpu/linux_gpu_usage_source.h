#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/gpu_usage_source.h"
#include "platform/linux/gpu/drm_busy_meter.h"
#include "platform/linux/gpu/drm_client_reader.h"
#include "support/log.h"

namespace vigilo {

class NvmlLibrary;

// GPU use on Linux, from three sources: each process's DRM fdinfo (AMD,
// Intel, Arm, Qualcomm, Broadcom drivers), NVIDIA's management library for
// NVIDIA GPUs, and, for a process whose descriptors belong to another user,
// the busiest whole device (amdgpu's gpu_busy_percent, NVML's device use).
// The library is opened only while some pid is watched and an NVIDIA GPU
// is awake, as an open handle keeps a laptop's discrete GPU from sleeping;
// it stays open until release(), so a watched process that turns busy again
// is seen.
class LinuxGpuUsageSource final : public GpuUsageSource {
public:
    // `nvmlLibrary` is a bare name for the loader's search, or a path (tests).
    explicit LinuxGpuUsageSource(std::filesystem::path procRoot = "/proc", std::filesystem::path sysRoot = "/sys",
                                 std::string nvmlLibrary = "libnvidia-ml.so.1");
    ~LinuxGpuUsageSource() override;

    std::map<std::int32_t, GpuUse> measure(const std::vector<std::int32_t>& pids, MonoTime now) override;
    void release() override;

    // Whether the library is open now (for tests and the benchmark).
    bool isNvmlOpen() const;

private:
    struct DrmReading {
        std::map<std::int32_t, double> percents;
        std::vector<std::int32_t> hidden;  // other users' processes
    };

    DrmReading readDrm(const std::vector<std::int32_t>& pids, MonoTime now);
    std::vector<std::string> awakeNvidiaDevices();
    void measureNvidia(const std::vector<std::string>& devices, std::map<std::int32_t, double>& percents);
    std::optional<double> busiestDevice(const std::vector<std::string>& nvidiaDevices);
    void logOnce(const std::string& cause, const std::string& message);

    const std::filesystem::path procRoot_;
    const std::filesystem::path sysRoot_;
    const std::string nvmlLibraryName_;
    mutable std::mutex mutex_;
    DrmBusyMeter meter_;
    // Per watched pid, what the last read of its descriptors found, so a
    // poll looks only at what changed; dropped every kFullReadEvery polls,
    // so a number reused for a render node is seen within that many.
    std::map<std::int32_t, DescriptorMemo> memos_;
    int pollsSinceFullRead_ = 0;
    std::set<std::int32_t> measuredBefore_;  // the pids of the previous call
    std::optional<std::vector<std::string>> nvidiaDevices_;  // listed once per session
    std::unique_ptr<NvmlLibrary> nvml_;
    bool nvmlUnavailable_ = false;  // until release()
    std::set<std::string> logged_;
    Logger log_{"GpuUsage"};
};

}  // namespace vigilo
