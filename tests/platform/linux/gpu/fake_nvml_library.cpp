// A stand-in for NVIDIA's libnvidia-ml.so.1 with the few functions Vigilo
// looks up, built by the tests and loaded through dlopen. What it reports
// comes from the file named by $FAKE_NVML_SCRIPT, read at every call:
//   device <pci address> <device utilisation>
//   process <pci address> <pid> <sm utilisation> <sample time stamp>
// A process line with time stamp 0 is a process with no sample. Each call to
// nvmlInit_v2 and nvmlShutdown appends its name to $FAKE_NVML_LOG. Built
// with FAKE_NVML_INCOMPLETE, nvmlDeviceGetProcessUtilization is missing.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSuccess = 0;
constexpr int kInvalidArgument = 2;
constexpr int kNotFound = 6;
constexpr int kInsufficientSize = 7;

struct Process {
    std::string device;
    unsigned int pid;
    unsigned int util;
    unsigned long long stamp;
};

struct Script {
    std::vector<std::pair<std::string, unsigned int>> devices;
    std::vector<Process> processes;
};

Script readScript() {
    Script script;
    const char* path = std::getenv("FAKE_NVML_SCRIPT");
    std::ifstream in(path ? path : "");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind, device;
        words >> kind >> device;
        if (kind == "device") {
            unsigned int util = 0;
            words >> util;
            script.devices.emplace_back(device, util);
        } else if (kind == "process") {
            Process process{device, 0, 0, 0};
            words >> process.pid >> process.util >> process.stamp;
            script.processes.push_back(process);
        }
    }
    return script;
}

void note(const char* call) {
    if (const char* path = std::getenv("FAKE_NVML_LOG")) {
        std::ofstream(path, std::ios::app) << call << '\n';
    }
}

// Device handles are the script's line numbers, from 1.
const std::string* deviceOf(const Script& script, void* handle) {
    const auto index = reinterpret_cast<std::size_t>(handle);
    return index >= 1 && index <= script.devices.size() ? &script.devices[index - 1].first : nullptr;
}

struct ProcessInfo {
    unsigned int pid;
    unsigned long long usedGpuMemory;
    unsigned int gpuInstanceId;
    unsigned int computeInstanceId;
};

struct ProcessSample {
    unsigned int pid;
    unsigned long long timeStamp;
    unsigned int smUtil;
    unsigned int memUtil;
    unsigned int encUtil;
    unsigned int decUtil;
};

struct Utilization {
    unsigned int gpu;
    unsigned int memory;
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int nvmlInit_v2() {
    note("init");
    return kSuccess;
}

__attribute__((visibility("default"))) int nvmlShutdown() {
    note("shutdown");
    return kSuccess;
}

__attribute__((visibility("default"))) int nvmlDeviceGetHandleByPciBusId_v2(const char* address, void** device) {
    const Script script = readScript();
    for (std::size_t i = 0; i < script.devices.size(); ++i) {
        if (script.devices[i].first == address) {
            *device = reinterpret_cast<void*>(i + 1);
            return kSuccess;
        }
    }
    return kNotFound;
}

__attribute__((visibility("default"))) int nvmlDeviceGetComputeRunningProcesses_v3(void* device, unsigned int* count,
                                                                                   ProcessInfo* infos) {
    const Script script = readScript();
    const std::string* address = deviceOf(script, device);
    if (!address) return kInvalidArgument;
    std::vector<ProcessInfo> found;
    for (const auto& process : script.processes) {
        if (process.device == *address) found.push_back({process.pid, 1 << 20, 0, 0});
    }
    const unsigned int room = *count;
    *count = static_cast<unsigned int>(found.size());
    if (found.size() > room) return kInsufficientSize;
    for (std::size_t i = 0; i < found.size(); ++i) infos[i] = found[i];
    return kSuccess;
}

__attribute__((visibility("default"))) int nvmlDeviceGetGraphicsRunningProcesses_v3(void* device, unsigned int* count,
                                                                                    ProcessInfo*) {
    const Script script = readScript();
    if (!deviceOf(script, device)) return kInvalidArgument;
    *count = 0;
    return kSuccess;
}

#ifndef FAKE_NVML_INCOMPLETE
__attribute__((visibility("default"))) int nvmlDeviceGetProcessUtilization(void* device, ProcessSample* samples,
                                                                           unsigned int* count,
                                                                           unsigned long long lastSeen) {
    const Script script = readScript();
    const std::string* address = deviceOf(script, device);
    if (!address) return kInvalidArgument;
    std::vector<ProcessSample> found;
    for (const auto& process : script.processes) {
        if (process.device == *address && process.stamp > lastSeen) {
            found.push_back({process.pid, process.stamp, process.util, 0, 0, 0});
        }
    }
    if (found.empty()) return kNotFound;
    const unsigned int room = *count;
    *count = static_cast<unsigned int>(found.size());
    if (!samples || found.size() > room) return kInsufficientSize;
    for (std::size_t i = 0; i < found.size(); ++i) samples[i] = found[i];
    return kSuccess;
}
#endif

__attribute__((visibility("default"))) int nvmlDeviceGetUtilizationRates(void* device, Utilization* rates) {
    const Script script = readScript();
    if (!deviceOf(script, device)) return kInvalidArgument;
    const auto index = reinterpret_cast<std::size_t>(device);
    *rates = {script.devices[index - 1].second, 0};
    return kSuccess;
}

}  // extern "C"
