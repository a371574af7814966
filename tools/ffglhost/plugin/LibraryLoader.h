// Loading a plug-in's library into this process and finding a symbol in it. The platform's
// dynamic loader does the work: dlopen (LibraryLoaderPosix.cpp) or LoadLibraryEx
// (LibraryLoaderWin.cpp). Every library is opened by its absolute path, so no search path is
// consulted for the plug-in itself, and privately: symbols of one plug-in never bind to another's
// (RTLD_LOCAL; Windows binds each DLL's imports by module anyway).
//
// Ownership: openLibrary's caller owns the handle and gives it back with closeLibrary. Loading and
// unloading run the library's static constructors and destructors. Main thread; no GL.
#pragma once

#include <string>

namespace ffglhost {

// The library at `path`, loaded with every symbol resolved now, or null with `error` holding the
// loader's reason (never empty then).
void* openLibrary(const std::string& path, std::string& error);

// The address of the exported symbol `name`, or null where the library exports none.
void* librarySymbol(void* library, const char* name);

// Unloads a library openLibrary gave (null is ignored).
void closeLibrary(void* library);

} // namespace ffglhost
