// One FFGL plug-in file loaded into the host: the shared object (a DLL on Windows) opened with
// the platform's loader (LibraryLoader.h), its `plugMain` entry point, and typed wrappers around
// the function codes the host uses. Each wrapper checks the answer it gets (failure words, null
// pointers) and copies texts out of the plug-in at once, since a plug-in may reuse its buffers on
// the next call.
//
// Ownership: Plugin owns the library handle. It remembers whether code 1 (initialise) succeeded
// and, when destroyed, de-initialises (code 2) before it closes the library; instances of the
// plug-in (PluginInstance) must be destroyed first.
//
// Every plugMain call goes through call(), which notes it in the active flight record
// (worker/FlightRecord.h), as do loading and unloading the library: a supervising process can then
// tell which plug-in and which call a crash or hang happened in.
//
// Threads and GL: one thread. Codes 17, 18, 19 and 23 need the host's GL context current; the
// others need none.
#pragma once

#include "Status.h"

#include "FFGLPluginSDK.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ffglhost {

// Longest text copied out of the plug-in (description, about, display and default texts): a
// bound against plug-ins that forget the terminator.
constexpr std::size_t kMaxPluginTextLength = 4096;

// The float whose bit pattern travels in the low 32 bits of a word, and back.
FFWord wordOfFloat(float value);
float floatOfWord(FFWord word);

class Plugin {
public:
    // Checks the file (SharedObjectCheck.h), opens it (LibraryLoader.h) and finds plugMain. A
    // missing or unloadable file, a file the loader rejects or one without plugMain gives a
    // bad-input status. On success `out` owns the plug-in.
    static Status open(const std::string& path, std::unique_ptr<Plugin>& out);

    ~Plugin(); // de-initialises when initialised, then closes the library
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const std::string& path() const { return path_; }
    // The name crash and hang reports give the plug-in from now on ("Invert (stage 2 of 3)"),
    // instead of the name code 0 gave.
    void nameInFlightRecord(const std::string& name) const;

    // The raw entry point, for codes without a wrapper. `frame` (1, 2, ...) is the frame of the
    // instance the call belongs to, for the flight record; 0 for none.
    FFWord call(uint32_t functionCode, FFWord input, FFWord instance, int64_t frame = 0) const;

    // Code 0: a copy of the information record.
    Status info(PluginInfoStructTag& out) const;
    // Code 13: versions and texts (a null text gives an empty string).
    Status extendedInfo(uint32_t& majorVersion, uint32_t& minorVersion, std::string& description,
                        std::string& about) const;
    // Code 1 / code 2. deInitialise does nothing when not initialised.
    Status initialise();
    Status deInitialise();
    // Code 10: the plug-in's answer as it stands (capability answers have no failure word).
    FFWord capability(uint32_t capabilityCode) const;

    // Codes 4, 5, 15, 6. The name is cut at its first NUL, at most 16 characters. A default is
    // a float for every type but text, whose default is a text pointer.
    Status parameterCount(uint32_t& count) const;
    Status parameterName(uint32_t index, std::string& name) const;
    Status parameterType(uint32_t index, uint32_t& type) const;
    Status parameterDefault(uint32_t index, float& value) const;
    Status parameterDefaultText(uint32_t index, std::string& text) const;

    // Per-instance codes; `instance` is the identifier code 18 returned.
    Status instantiate(const FFGLViewportStructTag& viewport, FFWord& instance) const; // 18
    Status deInstantiate(FFWord instance) const;                                       // 19
    Status processOpenGL(FFWord instance, ProcessOpenGLStructTag& frame,              // 17
                         int64_t frameNumber = 0) const;
    Status resize(FFWord instance, const FFGLViewportStructTag& viewport) const;       // 23
    Status setParameter(FFWord instance, uint32_t index, float value) const;           // 8
    Status getParameter(FFWord instance, uint32_t index, float& value) const;          // 9
    Status parameterDisplay(FFWord instance, uint32_t index, std::string& text) const; // 7

private:
    using PlugMain = FFWord (*)(uint32_t, FFWord, FFWord);

    Plugin(std::string path, void* handle, PlugMain entry, int slot)
        : path_(std::move(path)), handle_(handle), entry_(entry), slot_(slot)
    {
    }

    // Calls a parameter code that answers a text pointer and copies the text (0 and the failure
    // word fail).
    Status parameterText(uint32_t functionCode, uint32_t index, FFWord instance, std::string& text) const;

    std::string path_;
    void* handle_ = nullptr;
    PlugMain entry_ = nullptr;
    int slot_ = 0; // in the flight record
    bool initialised_ = false;
};

} // namespace ffglhost
