// The ELF check of a plug-in file, for hosts that load shared objects with dlopen: an ELF shared
// object of this host's class (32/64-bit), byte order and machine, whose program headers and
// loadable segments lie inside the file. The dynamic loader maps a truncated object and then dies
// with SIGBUS touching the pages past its end; a file refused here gets one clear line instead.
//
// POSIX builds only (it reads <elf.h>). Reads the file only; any thread; no GL.
#pragma once

#include "Status.h"
#include "plugin/ImageBytes.h"

#include <string>

namespace ffglhost {

// Success, or a bad-input status naming `path` and what is wrong with the file (not empty).
Status checkElfImage(const ImageBytes& file, const std::string& path);

// "64-bit x86-64": the ELF class and machine of this host.
std::string elfHostKind();

} // namespace ffglhost
