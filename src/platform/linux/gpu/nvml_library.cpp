#include "platform/linux/gpu/nvml_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include <fmt/format.h>

namespace vigilo {
namespace {

// The few types of NVML's C interface used here, as its header declares them.
using NvmlReturn = int;
using NvmlDevice = void*;
constexpr NvmlReturn kSuccess = 0;
constexpr NvmlReturn kNotFound = 6;
constexpr NvmlReturn kInsufficientSize = 7;

struct NvmlProcessInfo {  // nvmlProcessInfo_t of the _v3 queries
    unsigned int pid;
    unsigned long long usedGpuMemory;
    unsigned int gpuInstanceId;
    unsigned int computeInstanceId;
};

struct NvmlProcessSample {  // nvmlProcessUtilizationSample_t
    unsigned int pid;
    unsigned long long timeStamp;  // microseconds
    unsigned int smUtil;
    unsigned int memUtil;
    unsigned int encUtil;
    unsigned int decUtil;
};

struct NvmlUtilization {  // nvmlUtilization_t
    unsigned int gpu;
    unsigned int memory;
};

// More processes than this on one device are not looked at.
constexpr unsigned int kMaxEntries = 4096;

double bounded(unsigned int percent) { return std::min(static_cast<double>(percent), 100.0); }

}  // namespace

struct NvmlLibrary::Functions {
    NvmlReturn (*init)();
    NvmlReturn (*shutdown)();
    NvmlReturn (*handleByPciBusId)(const char*, NvmlDevice*);
    NvmlReturn (*computeProcesses)(NvmlDevice, unsigned int*, NvmlProcessInfo*);
    NvmlReturn (*graphicsProcesses)(NvmlDevice, unsigned int*, NvmlProcessInfo*);
    NvmlReturn (*processUtilization)(NvmlDevice, NvmlProcessSample*, unsigned int*, unsigned long long);
    NvmlReturn (*utilizationRates)(NvmlDevice, NvmlUtilization*);
};

namespace {

template <class Function>
bool lookUp(void* handle, const char* name, Function& function, std::string& problem) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    if (!function && problem.empty()) problem = fmt::format("has no {}", name);
    return function != nullptr;
}

bool lookUpAll(void* handle, NvmlLibrary::Functions& f, std::string& problem) {
    bool all = lookUp(handle, "nvmlInit_v2", f.init, problem);
    all = lookUp(handle, "nvmlShutdown", f.shutdown, problem) && all;
    all = lookUp(handle, "nvmlDeviceGetHandleByPciBusId_v2", f.handleByPciBusId, problem) && all;
    all = lookUp(handle, "nvmlDeviceGetComputeRunningProcesses_v3", f.computeProcesses, problem) && all;
    all = lookUp(handle, "nvmlDeviceGetGraphicsRunningProcesses_v3", f.graphicsProcesses, problem) && all;
    all = lookUp(handle, "nvmlDeviceGetProcessUtilization", f.processUtilization, problem) && all;
    return lookUp(handle, "nvmlDeviceGetUtilizationRates", f.utilizationRates, problem) && all;
}

// The processes one list query gives; asks again, larger, while the list grows.
std::optional<std::vector<NvmlProcessInfo>> runningProcesses(
    NvmlReturn (*query)(NvmlDevice, unsigned int*, NvmlProcessInfo*), NvmlDevice device) {
    std::vector<NvmlProcessInfo> infos(16);
    for (int attempt = 0; attempt < 4; ++attempt) {
        unsigned int count = static_cast<unsigned int>(infos.size());
        const NvmlReturn status = query(device, &count, infos.data());
        if (status == kSuccess) {
            infos.resize(std::min<std::size_t>(count, infos.size()));
            return infos;
        }
        if (status != kInsufficientSize || count > kMaxEntries) return std::nullopt;
        infos.resize(std::max<std::size_t>(count + 8, infos.size() * 2));
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<NvmlLibrary> NvmlLibrary::open(const std::string& libraryName, std::string& problem) {
    void* handle = ::dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        problem = error ? error : libraryName + " cannot be loaded";
        return nullptr;
    }
    auto functions = std::make_unique<Functions>();
    if (!lookUpAll(handle, *functions, problem)) {
        problem = libraryName + " " + problem;
        ::dlclose(handle);
        return nullptr;
    }
    if (const NvmlReturn status = functions->init(); status != kSuccess) {
        problem = fmt::format("{}: nvmlInit_v2 failed with {}", libraryName, status);
        ::dlclose(handle);
        return nullptr;
    }
    return std::unique_ptr<NvmlLibrary>(new NvmlLibrary(handle, std::move(functions)));
}

NvmlLibrary::NvmlLibrary(void* handle, std::unique_ptr<Functions> functions)
    : handle_(handle), functions_(std::move(functions)) {}

NvmlLibrary::~NvmlLibrary() {
    functions_->shutdown();
    ::dlclose(handle_);
}

std::optional<std::map<std::int32_t, double>> NvmlLibrary::processUse(const std::string& pciAddress,
                                                                     std::string& problem) {
    NvmlDevice device = nullptr;
    if (const NvmlReturn status = functions_->handleByPciBusId(pciAddress.c_str(), &device); status != kSuccess) {
        problem = fmt::format("no device at {} ({})", pciAddress, status);
        return std::nullopt;
    }
    std::map<std::int32_t, double> use;
    for (auto* query : {functions_->computeProcesses, functions_->graphicsProcesses}) {
        const auto infos = runningProcesses(query, device);
        if (!infos) {
            problem = fmt::format("the processes on {} cannot be listed", pciAddress);
            return std::nullopt;
        }
        for (const auto& info : *infos) use.emplace(static_cast<std::int32_t>(info.pid), 0.0);
    }
    if (use.empty()) return use;

    unsigned long long& newest = newestSample_[pciAddress];
    unsigned int count = 0;
    NvmlReturn status = functions_->processUtilization(device, nullptr, &count, newest);
    if (status == kNotFound) return use;
    if (status != kInsufficientSize && status != kSuccess) {
        problem = fmt::format("no utilisation samples from {} ({})", pciAddress, status);
        return std::nullopt;
    }
    std::vector<NvmlProcessSample> samples(std::min(count, kMaxEntries) + 8);
    count = static_cast<unsigned int>(samples.size());
    status = functions_->processUtilization(device, samples.data(), &count, newest);
    if (status == kNotFound) return use;
    if (status != kSuccess) {
        problem = fmt::format("no utilisation samples from {} ({})", pciAddress, status);
        return std::nullopt;
    }
    const unsigned long long since = newest;
    samples.resize(std::min<std::size_t>(count, samples.size()));
    for (const auto& sample : samples) {
        if (sample.timeStamp <= since) continue;
        newest = std::max(newest, sample.timeStamp);
        const auto process = use.find(static_cast<std::int32_t>(sample.pid));
        if (process == use.end()) continue;
        const double busiest = bounded(std::max({sample.smUtil, sample.encUtil, sample.decUtil}));
        process->second = std::max(process->second, busiest);
    }
    return use;
}

std::optional<double> NvmlLibrary::deviceUse(const std::string& pciAddress, std::string& problem) {
    NvmlDevice device = nullptr;
    NvmlUtilization rates{};
    NvmlReturn status = functions_->handleByPciBusId(pciAddress.c_str(), &device);
    if (status == kSuccess) status = functions_->utilizationRates(device, &rates);
    if (status != kSuccess) {
        problem = fmt::format("no utilisation of {} ({})", pciAddress, status);
        return std::nullopt;
    }
    return bounded(rates.gpu);
}

}  // namespace vigilo
