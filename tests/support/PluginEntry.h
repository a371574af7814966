// Loading a built plug-in the way a host does (dlopen, or LoadLibrary on Windows) and finding its
// entry point, for tests that drive a plug-in only through plugMain. The library is never
// unloaded: it stays until the test process ends, like the tests' instances of it.
//
// Header only; no GL context needed (loading runs no GL code). One thread.
#pragma once

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// The address of `path`'s plugMain, or null with `error` saying why (library not loadable, no
// plugMain). Cast it to the entry point type of the word size under test.
inline void* loadPluginEntry(const char* path, std::string& error)
{
    error.clear();
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
