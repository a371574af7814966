// How far a validation has got, shared between the validating worker and its supervisor
// (worker/WorkerShared.h): which step the worker is in, the outcome, message and time of every
// check reported so far, which steps took a worker down, whether the checks for effects apply,
// and the facts the report's header and the report files need (the plug-in's identity, what
// feeds its input slots, the GL renderer). The worker prints each check's line itself and notes
// it here; the supervisor prints the lines of the checks a crash or hang cut short, the summary
// from these outcomes, and writes the report files from them.
//
// Plain lock-free atomics; the worker's main thread writes while it runs, the supervisor between
// workers (and reads once a worker is gone).
#pragma once

#include "commands/validate/Check.h"
#include "commands/validate/ValidationPlan.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace ffglhost {

constexpr std::size_t kRendererTextCapacity = 256;
constexpr std::size_t kFailureTextCapacity = 1024;
// A check's message as the reports keep it; a longer one is cut, ending in " ...".
constexpr std::size_t kCheckMessageCapacity = 2048;
constexpr std::size_t kIdentityTextCapacity = 32; // the FFGL name (16) and unique ID (4)
constexpr std::size_t kInputsTextCapacity = 2048; // the input slots' sources, one a line

class ValidationProgress {
public:
    // Stages before a step runs.
    static constexpr int32_t kStarting = -2;  // loading the plug-in, opening GL, the header facts
    static constexpr int32_t kPreparing = -1; // redoing what earlier steps produced

    ValidationProgress() { reset(); }
    ValidationProgress(const ValidationProgress&) = delete;
    ValidationProgress& operator=(const ValidationProgress&) = delete;

    // A new validation: nothing reported, nothing crashed.
    void reset();
    // A new worker: back to kStarting, not finished, no failure.
    void startWorker();

    void setStage(int32_t stage) { stage_.store(stage, std::memory_order_release); }
    int32_t stage() const { return stage_.load(std::memory_order_acquire); }

    // A check's outcome, with what its line says after the name (Check::message()) and how long
    // the step that computed it took (on the step's first check).
    void report(int check, Outcome outcome, const std::string& message = std::string(), double seconds = 0.0);
    bool reported(int check) const;
    Outcome outcome(int check) const;
    std::string message(int check) const;
    double seconds(int check) const;
    // Every reported outcome, in check order (for the summary).
    std::vector<Outcome> outcomes() const;

    void markCrashed(int step) { crashed_[step].store(1, std::memory_order_release); }
    bool crashed(int step) const { return crashed_[step].load(std::memory_order_acquire) != 0; }

    // Whether the checks for effects apply (ValidationPlan.h): known once a worker got ready,
    // false until then.
    void setEffect(bool effect) { effect_.store(effect, std::memory_order_release); }
    bool effect() const { return effect_.load(std::memory_order_acquire); }
    // Whether check `check` is reported for this plug-in.
    bool applies(int check) const { return effect() || !forEffectsOnly(check); }

    void setHeaderPrinted() { headerPrinted_.store(true, std::memory_order_release); }
    bool headerPrinted() const { return headerPrinted_.load(std::memory_order_acquire); }
    void setFinished() { finished_.store(true, std::memory_order_release); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }

    // The GL renderer the header names, once known.
    void setRenderer(const std::string& text);
    std::string renderer() const;
    // Why a worker could not get ready for its first step (bad input, a host failure).
    void setFailure(const std::string& text);
    std::string failure() const;

    // The plug-in's identity as code 0 gave it (printable), once a worker read it; type -1 until then.
    void setIdentity(const std::string& name, const std::string& uniqueId, uint32_t type);
    std::string name() const;
    std::string uniqueId() const;
    int64_t type() const { return type_.load(std::memory_order_acquire); }
    // Where each input slot's pictures come from ("pattern:card"), slot 0 first.
    void setInputs(const std::vector<std::string>& labels);
    std::vector<std::string> inputs() const;

private:
    std::atomic<int32_t> stage_;
    std::atomic<uint8_t> outcomes_[kCheckCount]; // 0: not reported; else 1 + Outcome
    std::atomic<uint8_t> crashed_[kStepCount];
    std::atomic<bool> headerPrinted_;
    std::atomic<bool> effect_;
    std::atomic<bool> finished_;
    std::atomic<char> renderer_[kRendererTextCapacity];
    std::atomic<char> failure_[kFailureTextCapacity];
    std::atomic<char> messages_[kCheckCount][kCheckMessageCapacity];
    std::atomic<uint32_t> milliseconds_[kCheckCount];
    std::atomic<char> name_[kIdentityTextCapacity];
    std::atomic<char> uniqueId_[kIdentityTextCapacity];
    std::atomic<int64_t> type_;
    std::atomic<char> inputs_[kInputsTextCapacity];
};

} // namespace ffglhost
