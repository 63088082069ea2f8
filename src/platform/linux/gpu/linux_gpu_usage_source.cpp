#include "platform/linux/gpu/linux_gpu_usage_source.h"

#include <algorithm>

#include "platform/linux/gpu/gpu_devices.h"
#include "platform/linux/gpu/nvml_library.h"
#include "support/utf8_text.h"

namespace vigilo {
namespace {

// Causes are logged once each; a flood of distinct ones stops here.
constexpr std::size_t kMaxLoggedCauses = 64;
// A minute at the usual 3 s poll: the idle hold-off's default.
constexpr int kFullReadEvery = 20;

void keepBusiest(std::map<std::int32_t, double>& percents, std::int32_t pid, double percent) {
    auto [it, added] = percents.try_emplace(pid, percent);
    if (!added) it->second = std::max(it->second, percent);
}

}  // namespace

LinuxGpuUsageSource::LinuxGpuUsageSource(std::filesystem::path procRoot, std::filesystem::path sysRoot,
                                         std::string nvmlLibrary)
    : procRoot_(std::move(procRoot)), sysRoot_(std::move(sysRoot)), nvmlLibraryName_(std::move(nvmlLibrary)) {}

LinuxGpuUsageSource::~LinuxGpuUsageSource() = default;

std::map<std::int32_t, GpuUse> LinuxGpuUsageSource::measure(const std::vector<std::int32_t>& pids, MonoTime now) {
    std::lock_guard lock(mutex_);
    DrmReading drm = readDrm(pids, now);
    const std::vector<std::string> nvidia = awakeNvidiaDevices();
    if (nvml_) measureNvidia(nvidia, drm.percents);

    std::map<std::int32_t, GpuUse> use;
    std::optional<std::optional<double>> device;  // read when first needed
    for (const std::int32_t pid : pids) {
        // Two samples are needed, whatever the source.
        if (!measuredBefore_.contains(pid)) continue;
        if (const auto own = drm.percents.find(pid); own != drm.percents.end()) {
            use[pid] = GpuUse{own->second, false};
        } else if (std::binary_search(drm.hidden.begin(), drm.hidden.end(), pid)) {
            if (!device) device = busiestDevice(nvidia);
            if (*device) use[pid] = GpuUse{**device, true};
        }
    }
    measuredBefore_ = std::set<std::int32_t>(pids.begin(), pids.end());
    return use;
}

void LinuxGpuUsageSource::release() {
    std::lock_guard lock(mutex_);
    meter_.reset();
    memos_.clear();
    measuredBefore_.clear();
    nvidiaDevices_.reset();
    nvml_.reset();
    nvmlUnavailable_ = false;
}

bool LinuxGpuUsageSource::isNvmlOpen() const {
    std::lock_guard lock(mutex_);
    return nvml_ != nullptr;
}

LinuxGpuUsageSource::DrmReading LinuxGpuUsageSource::readDrm(const std::vector<std::int32_t>& pids, MonoTime now) {
    DrmReading reading;
    std::map<std::int32_t, std::vector<DrmClient>> clients;
    std::map<std::int32_t, DescriptorMemo> memos;
    if (++pollsSinceFullRead_ >= kFullReadEvery) {
        pollsSinceFullRead_ = 0;
        memos_.clear();
    }
    const std::string procRoot = procRoot_.string();
    for (const std::int32_t pid : pids) {
        DescriptorMemo& memo = memos[pid];
        if (const auto earlier = memos_.find(pid); earlier != memos_.end()) memo = std::move(earlier->second);
        ProcessDrmClients read = readDrmClients(procRoot, pid, &memo);
        switch (read.status) {
            case ProcessDrmClients::Status::read:
                clients[pid] = std::move(read.clients);
                break;
            case ProcessDrmClients::Status::unreadable:
                reading.hidden.push_back(pid);
                break;
            case ProcessDrmClients::Status::failed:
                logOnce("drm " + read.problem, "The GPU use of a process is not measured: " + read.problem);
                break;
            case ProcessDrmClients::Status::gone:
                break;
        }
    }
    memos_ = std::move(memos);  // only the pids watched now
    std::sort(reading.hidden.begin(), reading.hidden.end());
    reading.percents = meter_.update(clients, now);
    return reading;
}

// Lists the NVIDIA GPUs once per session and opens the library while one is
// awake. A sleeping GPU is idle by definition, and asking it would wake it.
std::vector<std::string> LinuxGpuUsageSource::awakeNvidiaDevices() {
    if (!nvidiaDevices_) nvidiaDevices_ = nvidiaDisplayDevices(sysRoot_);
    std::vector<std::string> awake;
    for (const auto& device : *nvidiaDevices_) {
        if (!isRuntimeSuspended(sysRoot_, device)) awake.push_back(device);
    }
    if (awake.empty() || nvml_ || nvmlUnavailable_) return awake;
    std::string problem;
    nvml_ = NvmlLibrary::open(nvmlLibraryName_, problem);
    if (!nvml_) {
        nvmlUnavailable_ = true;
        logOnce("nvml " + problem, "NVIDIA GPU use is not measured: " + problem);
    }
    return awake;
}

void LinuxGpuUsageSource::measureNvidia(const std::vector<std::string>& devices,
                                        std::map<std::int32_t, double>& percents) {
    for (const auto& device : devices) {
        std::string problem;
        const auto use = nvml_->processUse(device, problem);
        if (!use) {
            logOnce("nvml " + problem, "NVIDIA GPU use is not measured: " + problem);
            continue;
        }
        for (const auto& [pid, percent] : *use) keepBusiest(percents, pid, percent);
    }
}

std::optional<double> LinuxGpuUsageSource::busiestDevice(const std::vector<std::string>& nvidiaDevices) {
    std::optional<double> busiest = busiestAmdgpuPercent(sysRoot_);
    if (!nvml_) return busiest;
    for (const auto& device : nvidiaDevices) {
        std::string problem;
        const auto percent = nvml_->deviceUse(device, problem);
        if (percent) {
            busiest = std::max(busiest.value_or(0.0), *percent);
        } else {
            logOnce("nvml " + problem, "NVIDIA GPU use is not measured: " + problem);
        }
    }
    return busiest;
}

void LinuxGpuUsageSource::logOnce(const std::string& cause, const std::string& message) {
    if (logged_.size() >= kMaxLoggedCauses || !logged_.insert(cause).second) return;
    // The causes quote the files' keys, which may be any bytes.
    log_.info("{}", decodeUtf8Lossy(message));
}

}  // namespace vigilo
