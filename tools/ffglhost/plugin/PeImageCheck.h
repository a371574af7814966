// The PE check of a plug-in file, for hosts that load DLLs with LoadLibrary: a Windows DLL (PE
// image with the DLL flag) of this host's word size and machine, whose section headers and
// section contents lie inside the file. A file refused here gets one clear line instead of the
// loader's bare "bad image" (or a crash in a loader that trusts the headers).
//
// Plain C++ on the file's bytes (no Windows headers), so it builds and is tested everywhere;
// ffglhost uses it on Windows. Reads the file only; any thread; no GL.
#pragma once

#include "Status.h"
#include "plugin/ImageBytes.h"

#include <string>

namespace ffglhost {

// Success, or a bad-input status naming `path` and what is wrong with the file (not empty).
Status checkPeImage(const ImageBytes& file, const std::string& path);

// "64-bit x86-64": the PE word size and machine of DLLs this host can load.
std::string peHostKind();

} // namespace ffglhost
