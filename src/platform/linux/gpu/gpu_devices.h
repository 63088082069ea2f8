#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vigilo {

// What sysfs tells of the GPUs, under a /sys root (a temporary tree in
// tests). Each read is a small attribute file; nothing throws.

// The PCI addresses ("0000:01:00.0") of NVIDIA display controllers (vendor
// 0x10de, class 0x03xxxx) under <sysRoot>/bus/pci/devices, sorted.
std::vector<std::string> nvidiaDisplayDevices(const std::filesystem::path& sysRoot);

// Whether runtime power management has put the PCI device to sleep. A device
// without the attribute (power management off) counts as awake.
bool isRuntimeSuspended(const std::filesystem::path& sysRoot, const std::string& pciAddress);

// The busiest amdgpu device's gpu_busy_percent over <sysRoot>/class/drm's
// cardN devices, 0…100; nothing when no device has the file. A device that
// runtime power management put to sleep is not read (that would wake it)
// but counts as idle; for other drivers the file is absent.
std::optional<double> busiestAmdgpuPercent(const std::filesystem::path& sysRoot);

}  // namespace vigilo
