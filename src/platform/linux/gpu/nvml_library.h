#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vigilo {

// NVIDIA's management library, opened with dlopen for as long as this object
// lives: initialised on opening, shut down and closed on destruction. Only
// the handful of functions used are looked up, so no SDK is needed to build.
// Not thread-safe.
class NvmlLibrary {
public:
    // Opens `libraryName` (a bare name goes through the loader's usual
    // search) and initialises it. Null, with `problem` set, when the library
    // is missing, lacks a function or fails to initialise.
    static std::unique_ptr<NvmlLibrary> open(const std::string& libraryName, std::string& problem);
    ~NvmlLibrary();
    NvmlLibrary(const NvmlLibrary&) = delete;
    NvmlLibrary& operator=(const NvmlLibrary&) = delete;

    // The GPU percent of each process using the device at `pciAddress`
    // (compute and graphics), from the samples newer than the newest one
    // seen at the previous call for that device: the busiest of SM, encoder
    // and decoder, 0 for a process with no new sample. Nothing when the
    // device cannot be asked; `problem` says why.
    std::optional<std::map<std::int32_t, double>> processUse(const std::string& pciAddress, std::string& problem);

    // The device's own utilisation, 0…100.
    std::optional<double> deviceUse(const std::string& pciAddress, std::string& problem);

    struct Functions;

private:
    NvmlLibrary(void* handle, std::unique_ptr<Functions> functions);

    void* handle_;
    std::unique_ptr<Functions> functions_;
    std::map<std::string, unsigned long long> newestSample_;  // per device, microseconds
};

}  // namespace vigilo
