// The flight record: what the host is doing with a plug-in at this moment, kept where a
// supervising process can read it after the process running the plug-in crashed, hung or
// exited (see Supervisor.h). Plugin::call is the one place every plugMain call passes through;
// it notes the plug-in, the function code, the frame number where there is one and the
// monotonic start time before the call, and that the call returned after it. Loading and
// unloading the library (static constructors and destructors run there) are noted too, and the
// frame loop counts the glFinish after code 17 as part of the frame.
//
// The record is plain lock-free atomics with no pointers, so that it can live in memory shared
// between processes (Supervisor.h maps it before the worker starts). One thread writes it
// (the worker's main thread; crashed() may also run in a signal handler of any thread, and
// crashedWithException() in the exception filter of the Windows worker); another
// process may read it at any time. Every process has one active record, flightRecord(): a
// private one until useFlightRecord() points it elsewhere. Readers use snapshot().
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ffglhost {

// What the host is doing with the plug-in.
enum class FlightPhase : uint32_t {
    Idle,      // no plug-in call in flight, no answer being read
    Loading,   // dlopen of the library (static constructors run)
    Calling,   // inside plugMain
    Finishing, // code 17 returned; the host's glFinish still belongs to the frame
    Reading,   // the call returned; the host reads its answer
    Unloading, // dlclose of the library (static destructors run)
};

// Plug-ins one process can have open at once: the main one and every --also one.
constexpr std::size_t kFlightPluginSlots = 17;
// Longest plug-in name kept (the FFGL name has 16 characters; file stems are cut).
constexpr std::size_t kFlightNameCapacity = 64;

// A copy of the record, taken by the supervisor.
struct FlightSnapshot {
    FlightPhase phase = FlightPhase::Idle;
    uint32_t code = 0;
    int64_t frame = 0;   // 0: the call belongs to no frame
    int64_t startNs = 0; // CLOCK_MONOTONIC when the call (or load) started
    int signal = 0;      // the crash signal the worker noted, 0 for none
    uint32_t exception = 0; // Windows: the structured exception the worker noted (0xC0000005, ...), 0 for none
    std::string plugin;  // the plug-in the call went to
};

class FlightRecord {
public:
    FlightRecord();
    FlightRecord(const FlightRecord&) = delete;
    FlightRecord& operator=(const FlightRecord&) = delete;

    // Back to idle, no names, no signal: for a new worker.
    void reset();

    // A slot for a plug-in named `name` (the file stem until code 0 has answered).
    int addPlugin(const std::string& name);
    // The name code 0 gave, replacing the file stem. Empty names are ignored.
    void renamePlugin(int slot, const std::string& name);

    // Phases, written by the worker around library and plugMain calls. `frame` 0: none.
    void loading(int slot);
    void unloading(int slot);
    void calling(int slot, uint32_t code, int64_t frame);
    void returned();  // Calling -> Reading
    void finishing(); // Reading after code 17 -> Finishing, same start and frame
    void settled();   // -> Idle
    // Async-signal-safe: the signal the worker is dying of.
    void crashed(int signal);
    // Safe in an exception filter: the structured exception the worker is dying of (Windows).
    void crashedWithException(uint32_t code);

    FlightSnapshot snapshot() const;
    // Whether a call (or load) has been in flight for longer than `timeoutNs` at `nowNs`, and
    // if not, how long until it would be (`waitNs`, or -1 when nothing is in flight).
    bool overdue(int64_t nowNs, int64_t timeoutNs, int64_t& waitNs) const;

private:
    std::atomic<uint64_t> state_;   // phase << 48 | slot << 32 | code
    std::atomic<int64_t> startNs_;
    std::atomic<int64_t> frame_;
    std::atomic<int32_t> signal_;
    std::atomic<uint32_t> exception_;
    std::atomic<uint32_t> slots_;   // slots handed out
    std::atomic<char> names_[kFlightPluginSlots][kFlightNameCapacity];

    static_assert(std::atomic<uint64_t>::is_always_lock_free && std::atomic<int64_t>::is_always_lock_free &&
                      std::atomic<int32_t>::is_always_lock_free && std::atomic<uint32_t>::is_always_lock_free &&
                      std::atomic<char>::is_always_lock_free,
                  "the record is shared between processes: its atomics must not need locks");
};

// The active record of this process: the private one (alive as long as the process) or the one
// last given to useFlightRecord().
FlightRecord& flightRecord();
// Makes `record` the active one (nullptr: the private one again). `record` outlives its use.
void useFlightRecord(FlightRecord* record);

// The monotonic clock in nanoseconds (CLOCK_MONOTONIC on Linux): the clock of the record's start
// times, the same in every process.
int64_t monotonicNs();

// "SIGSEGV", "SIGABRT", ... or "signal 42".
std::string signalName(int signal);
// A Windows exception code by name and number: "access violation, 0xC0000005", "stack overflow,
// 0xC00000FD", ... or "exception 0xE0434352".
std::string exceptionText(uint32_t code);
// Where the record says the plug-in was: " in code 17 (process OpenGL) at frame 3", " while
// reading the answer of code 5 (get parameter name)", " while loading the library",
// " while unloading the library", or " outside any plug-in call".
std::string whereText(const FlightSnapshot& s);

// Text stored in atomic characters: cut to `capacity` - 1 characters and terminated.
void storeText(std::atomic<char>* dst, std::size_t capacity, const std::string& text);
std::string loadText(const std::atomic<char>* src, std::size_t capacity);

} // namespace ffglhost
