#include "platform/linux/loaded_module.h"

#include <dlfcn.h>

#include <cstdlib>

#include "support/log.h"

namespace vigilo {

std::filesystem::path moduleFolder() {
    if (const char* dir = std::getenv("VIGILO_MODULE_DIR"); dir && *dir) return dir;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return exe.parent_path().parent_path() / "lib" / "vigilo";
}

LoadedModule::LoadedModule(const char* fileName, const char* logCategory) {
    const auto path = moduleFolder() / fileName;
    // Never unloaded: objects it made may outlive any owner of this handle.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle_) Logger(logCategory).error("Cannot load {}: {}", path.string(), ::dlerror());
}

void* LoadedModule::address(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace vigilo
