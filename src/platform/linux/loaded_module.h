#pragma once

#include <filesystem>

namespace vigilo {

// Where the modules built with this executable live: <prefix>/lib/vigilo
// beside <prefix>/bin, or $VIGILO_MODULE_DIR when set (tests).
std::filesystem::path moduleFolder();

// One shared module of ours, opened for the life of the process. Modules
// are built from this tree together with the executable, so C++ objects may
// cross the boundary; their calls into the core bind to the executable's
// exported copy.
class LoadedModule {
public:
    // Opens moduleFolder()/fileName; a failure is logged under logCategory.
    LoadedModule(const char* fileName, const char* logCategory);
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }

    // The exported function `name`, or nullptr.
    template <class Function>
    Function symbol(const char* name) const {
        return reinterpret_cast<Function>(address(name));
    }

private:
    void* address(const char* name) const;
    void* handle_ = nullptr;
};

}  // namespace vigilo
