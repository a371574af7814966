// Libraries through LoadLibraryEx (see LibraryLoader.h).
#include "plugin/LibraryLoader.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace ffglhost {

namespace {

// The system's text for error `code`, on one line, with the code: "The specified module could
// not be found (Windows error 126)".
std::string errorText(DWORD code)
{
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n > 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    const std::string number = "Windows error " + std::to_string(code);
    return text.empty() ? number : text + " (" + number + ")";
}

} // namespace

void* openLibrary(const std::string& path, std::string& error)
{
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(std::filesystem::path(path), ec).string();
    // No message box for a DLL that cannot be found or loaded: the error comes back as a value.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    // The DLL's own folder is searched for the DLLs it imports, as hosts do for their plug-ins.
    HMODULE module = LoadLibraryExA(absolute.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr)
        error = "LoadLibrary refused it: " + errorText(code);
    return module;
}

void* librarySymbol(void* library, const char* name)
{
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library)
{
    if (library != nullptr)
        FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace ffglhost
