// The worker's last words: handlers for the signals a crashing plug-in dies of (SIGSEGV,
// SIGBUS, SIGFPE, SIGILL, SIGABRT) that note the signal in the active flight record, put the
// default action back and raise the signal again, so that the worker still dies of it and its
// supervisor sees which. They run on an alternate signal stack, so a stack overflow is caught
// too. Installing them also replaces AddressSanitizer's own SEGV handler, which would otherwise
// turn the death into an exit status.
//
// Call from the worker's main thread before the first plug-in call; the alternate stack belongs
// to that thread (the only one that calls plug-ins) and lives until the process ends.
#pragma once

namespace ffglhost {

// False when a handler or the alternate stack could not be set up (the worker then still runs;
// its crashes are reported by signal alone).
bool installCrashHandlers();

} // namespace ffglhost
