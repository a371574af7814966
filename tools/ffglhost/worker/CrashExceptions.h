// The Windows worker's last words (the counterpart of CrashSignals.h): a filter for structured
// exceptions no one handles (an access violation, a stack overflow, an illegal or privileged
// instruction, an integer divide by zero, ...) and a handler for abort()'s SIGABRT, which note
// the exception or signal in the active flight record and end the process at once, with the
// exception code as its exit status (3 after abort(), as the C runtime has it). No crash dialog, no error report and no debugger is ever asked for: under
// Wine, an unhandled fault would otherwise start winedbg, which waits.
//
// A stack overflow needs stack to be reported: the main thread (the only one that calls
// plug-ins) keeps room for the filter below its guard page.
//
// Call from the worker's main thread before the first plug-in call.
#pragma once

namespace ffglhost {

// False when the room for a stack overflow could not be kept (its crash is then reported by the
// process's exit alone).
bool installCrashHandlers();

} // namespace ffglhost
