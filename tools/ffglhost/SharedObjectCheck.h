// Checks a plug-in file before it is handed to dlopen: it exists, is a regular readable file,
// and is an ELF shared object of this host's class (32/64-bit), byte order and machine whose
// program headers and loadable segments lie inside the file. The dynamic loader maps a
// truncated object and then dies with SIGBUS touching the pages past its end; a file refused
// here gets one clear line instead.
//
// Reads the file only; any thread; no GL.
#pragma once

#include "Status.h"

#include <string>

namespace ffglhost {

// Success, or a bad-input status naming `path` and what is wrong with it.
Status checkSharedObject(const std::string& path);

// "64-bit x86-64": the class and machine this host loads.
std::string hostObjectKind();

} // namespace ffglhost
