// Building a Windows command line from separate arguments, for the processes ffglhost starts
// (its workers) and for the tests that start ffglhost.exe. Pure string work: any thread, no GL.
// Windows only.
#pragma once

#include <string>

namespace ffglhost {

// `s` (in the process's ANSI code page, as the C runtime gives arguments) in UTF-16.
std::wstring widened(const std::string& s);

// `arg` quoted so that the C runtime's splitting of a command line gives it back unchanged:
// backslashes double only before a quote (or the closing quote), quotes are escaped. An argument
// with no blank and no quote comes back as it is.
std::wstring quotedArgument(const std::wstring& arg);

} // namespace ffglhost
