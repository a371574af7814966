// Checks a plug-in file before it is handed to the platform's loader (LibraryLoader.h): it
// exists, is a regular readable file that is not empty, and is a library this host can load: an
// ELF shared object on Linux (ElfImageCheck.h), a PE DLL on Windows (PeImageCheck.h), of this
// host's word size and machine, with everything its headers point to inside the file. Loaders
// trust those headers (Linux's maps the missing pages and dies with SIGBUS touching them); a file
// refused here gets one clear line instead.
//
// Reads the file only; any thread; no GL.
#pragma once

#include "Status.h"

#include <string>

namespace ffglhost {

// Success, or a bad-input status naming `path` and what is wrong with it.
Status checkSharedObject(const std::string& path);

// "64-bit x86-64": the kind of library this host loads.
std::string hostObjectKind();

} // namespace ffglhost
