// Crash signal handlers of the worker (see CrashSignals.h).
#include "worker/CrashSignals.h"

#include "worker/FlightRecord.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace ffglhost {

namespace {

// Room for the handler and whatever a sanitizer runtime does around it.
constexpr std::size_t kMinimumAltStackBytes = 256 * 1024;

const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void onCrash(int signal)
{
    flightRecord().crashed(signal);
    // Dying of the signal itself is what the supervisor reads. The signal stays blocked until
    // this handler returns; then, with the default action back, it ends the process (a fault
    // would also recur at the faulting instruction).
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(signal, &dfl, nullptr);
    raise(signal);
}

} // namespace

bool installCrashHandlers()
{
    bool ok = true;
    long minimum = sysconf(_SC_SIGSTKSZ);
    std::size_t bytes = kMinimumAltStackBytes;
    if (minimum > 0 && static_cast<std::size_t>(minimum) > bytes)
        bytes = static_cast<std::size_t>(minimum);
    // Mapped rather than allocated: it stays for the life of the process and is nobody's leak.
    void* stack = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack != MAP_FAILED) {
        stack_t ss;
        std::memset(&ss, 0, sizeof ss);
        ss.ss_sp = stack;
        ss.ss_size = bytes;
        ok = sigaltstack(&ss, nullptr) == 0;
    } else {
        ok = false;
    }
    for (int signal : kCrashSignals) {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = onCrash;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_ONSTACK;
        ok = sigaction(signal, &sa, nullptr) == 0 && ok;
    }
    return ok;
}

} // namespace ffglhost
