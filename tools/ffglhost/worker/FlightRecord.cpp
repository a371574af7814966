// The flight record (see FlightRecord.h).
#include "worker/FlightRecord.h"

#include "Status.h"

#include <signal.h>

#include <chrono>
#include <cstdio>

namespace ffglhost {

namespace {

constexpr int kPhaseShift = 48;
constexpr int kSlotShift = 32;
constexpr uint64_t kSlotMask = 0xFFFF;
constexpr uint64_t kCodeMask = 0xFFFFFFFFu;

uint64_t pack(FlightPhase phase, uint64_t slot, uint64_t code)
{
    return static_cast<uint64_t>(phase) << kPhaseShift | (slot & kSlotMask) << kSlotShift | (code & kCodeMask);
}

FlightPhase phaseOf(uint64_t state) { return static_cast<FlightPhase>(state >> kPhaseShift); }
uint64_t slotOf(uint64_t state) { return state >> kSlotShift & kSlotMask; }
uint32_t codeOf(uint64_t state) { return static_cast<uint32_t>(state & kCodeMask); }

// Phases the watchdog times: the plug-in (or the GL finishing its frame) has the thread.
bool inFlight(FlightPhase p)
{
    return p == FlightPhase::Loading || p == FlightPhase::Calling || p == FlightPhase::Finishing ||
           p == FlightPhase::Unloading;
}

FlightRecord g_privateRecord;
std::atomic<FlightRecord*> g_active{&g_privateRecord};

} // namespace

FlightRecord::FlightRecord() { reset(); }

void FlightRecord::reset()
{
    state_.store(pack(FlightPhase::Idle, 0, 0));
    startNs_.store(0);
    frame_.store(0);
    signal_.store(0);
    exception_.store(0);
    slots_.store(0);
    for (auto& name : names_)
        storeText(name, kFlightNameCapacity, "");
}

int FlightRecord::addPlugin(const std::string& name)
{
    // Slots are reused round the table: a process that opens more plug-ins over its life than
    // it holds at once (the stress host) only needs the recent names.
    const int slot = static_cast<int>(slots_.fetch_add(1) % kFlightPluginSlots);
    storeText(names_[slot], kFlightNameCapacity, name);
    return slot;
}

void FlightRecord::renamePlugin(int slot, const std::string& name)
{
    if (slot >= 0 && static_cast<std::size_t>(slot) < kFlightPluginSlots && !name.empty())
        storeText(names_[slot], kFlightNameCapacity, name);
}

void FlightRecord::loading(int slot)
{
    frame_.store(0, std::memory_order_relaxed);
    startNs_.store(monotonicNs(), std::memory_order_relaxed);
    state_.store(pack(FlightPhase::Loading, static_cast<uint64_t>(slot), 0), std::memory_order_release);
}

void FlightRecord::unloading(int slot)
{
    frame_.store(0, std::memory_order_relaxed);
    startNs_.store(monotonicNs(), std::memory_order_relaxed);
    state_.store(pack(FlightPhase::Unloading, static_cast<uint64_t>(slot), 0), std::memory_order_release);
}

void FlightRecord::calling(int slot, uint32_t code, int64_t frame)
{
    // The start time goes first: a reader that sees the new phase also sees its start.
    frame_.store(frame, std::memory_order_relaxed);
    startNs_.store(monotonicNs(), std::memory_order_relaxed);
    state_.store(pack(FlightPhase::Calling, static_cast<uint64_t>(slot), code), std::memory_order_release);
}

void FlightRecord::returned()
{
    const uint64_t s = state_.load(std::memory_order_relaxed);
    state_.store(pack(FlightPhase::Reading, slotOf(s), codeOf(s)), std::memory_order_release);
}

void FlightRecord::finishing()
{
    const uint64_t s = state_.load(std::memory_order_relaxed);
    if (phaseOf(s) == FlightPhase::Reading && codeOf(s) == 17)
        state_.store(pack(FlightPhase::Finishing, slotOf(s), codeOf(s)), std::memory_order_release);
}

void FlightRecord::settled()
{
    const uint64_t s = state_.load(std::memory_order_relaxed);
    state_.store(pack(FlightPhase::Idle, slotOf(s), 0), std::memory_order_release);
}

void FlightRecord::crashed(int signal) { signal_.store(signal, std::memory_order_release); }

void FlightRecord::crashedWithException(uint32_t code) { exception_.store(code, std::memory_order_release); }

FlightSnapshot FlightRecord::snapshot() const
{
    FlightSnapshot out;
    const uint64_t s = state_.load(std::memory_order_acquire);
    out.phase = phaseOf(s);
    out.code = codeOf(s);
    out.frame = frame_.load(std::memory_order_relaxed);
    out.startNs = startNs_.load(std::memory_order_relaxed);
    out.signal = signal_.load(std::memory_order_acquire);
    out.exception = exception_.load(std::memory_order_acquire);
    out.plugin = loadText(names_[slotOf(s) % kFlightPluginSlots], kFlightNameCapacity);
    return out;
}

bool FlightRecord::overdue(int64_t nowNs, int64_t timeoutNs, int64_t& waitNs) const
{
    // The phase first, then its start: a start newer than the phase only makes the call look
    // younger, and the next look catches it.
    const uint64_t s = state_.load(std::memory_order_acquire);
    if (!inFlight(phaseOf(s))) {
        waitNs = -1;
        return false;
    }
    const int64_t elapsed = nowNs - startNs_.load(std::memory_order_relaxed);
    waitNs = timeoutNs - elapsed;
    return elapsed > timeoutNs;
}

FlightRecord& flightRecord() { return *g_active.load(std::memory_order_relaxed); }

void useFlightRecord(FlightRecord* record)
{
    g_active.store(record != nullptr ? record : &g_privateRecord, std::memory_order_relaxed);
}

int64_t monotonicNs()
{
    // CLOCK_MONOTONIC on Linux (libstdc++'s steady clock), the performance counter on Windows.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string signalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
#ifdef SIGBUS // POSIX signals the Windows C runtime lacks
    case SIGBUS: return "SIGBUS";
    case SIGKILL: return "SIGKILL";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
    case SIGPIPE: return "SIGPIPE";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
#endif
    default: return "signal " + std::to_string(signal);
    }
}

std::string exceptionText(uint32_t code)
{
    struct Known {
        uint32_t code;
        const char* name;
    };
    // The exceptions a plug-in dies of, as Windows' own headers name them (EXCEPTION_..., STATUS_...).
    static const Known kKnown[] = {
        {0xC0000005u, "access violation"},
        {0xC00000FDu, "stack overflow"},
        {0xC000001Du, "illegal instruction"},
        {0xC0000096u, "privileged instruction"},
        {0xC0000094u, "integer divide by zero"},
        {0xC0000095u, "integer overflow"},
        {0xC000008Cu, "array bounds exceeded"},
        {0xC000008Du, "float denormal operand"},
        {0xC000008Eu, "float divide by zero"},
        {0xC000008Fu, "float inexact result"},
        {0xC0000090u, "float invalid operation"},
        {0xC0000091u, "float overflow"},
        {0xC0000092u, "float stack check"},
        {0xC0000093u, "float underflow"},
        {0xC0000006u, "in-page error"},
        {0xC0000008u, "invalid handle"},
        {0xC0000017u, "out of memory"},
        {0xC0000025u, "noncontinuable exception"},
        {0xC0000026u, "invalid disposition"},
        {0xC0000374u, "heap corruption"},
        {0xC0000409u, "fail-fast or stack buffer overrun"},
        {0xC000013Au, "Ctrl-C"},
        {0x80000002u, "datatype misalignment"},
        {0x80000003u, "breakpoint"},
        {0x80000004u, "single step"},
        {0xE06D7363u, "uncaught C++ exception (Visual C++)"},
        {0x20474343u, "uncaught C++ exception (GCC)"},
    };
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(code));
    for (const Known& k : kKnown)
        if (k.code == code)
            return std::string(k.name) + ", " + number;
    return std::string("exception ") + number;
}

std::string whereText(const FlightSnapshot& s)
{
    const std::string code = "code " + std::to_string(s.code) + " (" + functionName(s.code) + ")";
    const std::string frame = s.frame > 0 ? " at frame " + std::to_string(s.frame) : "";
    switch (s.phase) {
    case FlightPhase::Loading: return " while loading the library";
    case FlightPhase::Unloading: return " while unloading the library";
    case FlightPhase::Calling:
    case FlightPhase::Finishing: return " in " + code + frame;
    case FlightPhase::Reading: return " while reading the answer of " + code + frame;
    case FlightPhase::Idle: break;
    }
    return " outside any plug-in call";
}

void storeText(std::atomic<char>* dst, std::size_t capacity, const std::string& text)
{
    if (capacity == 0)
        return;
    const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    for (std::size_t i = 0; i < n; ++i)
        dst[i].store(text[i], std::memory_order_relaxed);
    dst[n].store('\0', std::memory_order_release);
}

std::string loadText(const std::atomic<char>* src, std::size_t capacity)
{
    std::string out;
    for (std::size_t i = 0; i < capacity; ++i) {
        const char c = src[i].load(std::memory_order_acquire);
        if (c == '\0')
            break;
        out += c;
    }
    return out;
}

} // namespace ffglhost
