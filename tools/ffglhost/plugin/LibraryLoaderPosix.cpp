// Libraries through dlopen (see LibraryLoader.h).
#include "plugin/LibraryLoader.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace ffglhost {

void* openLibrary(const std::string& path, std::string& error)
{
    // dlopen searches the library path for names without a slash: hand it the file itself.
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(std::filesystem::path(path), ec).string();
    dlerror();
    void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "dlopen failed";
    }
    return handle;
}

void* librarySymbol(void* library, const char* name) { return library != nullptr ? dlsym(library, name) : nullptr; }

void closeLibrary(void* library)
{
    if (library != nullptr)
        dlclose(library);
}

} // namespace ffglhost
