// The plugMain of a built plug-in, loaded the way a host loads it: dlopen (RTLD_NOW | RTLD_LOCAL),
// or LoadLibrary on Windows. For tests that drive a plug-in through its entry point alone. The
// library stays loaded until the process ends. Header only; main thread; no GL.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

namespace kxtest {

// The address of plugMain in the library at `path`, or null with `error` saying why.
inline void* loadPlugMain(const char* path, std::string& error)
{
    if (path == nullptr) {
        error = "plug-in path unknown";
        return nullptr;
    }
#if defined(_WIN32)
    HMODULE lib = LoadLibraryA(path);
    if (lib == nullptr) {
        error = std::string("LoadLibrary failed with Windows error ") + std::to_string(GetLastError());
        return nullptr;
    }
    void* entry = reinterpret_cast<void*>(GetProcAddress(lib, "plugMain"));
#else
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "dlopen failed";
        return nullptr;
    }
    void* entry = dlsym(lib, "plugMain");
#endif
    if (entry == nullptr)
        error = std::string("no plugMain in ") + path;
    return entry;
}

} // namespace kxtest
