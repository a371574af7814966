// One check of the validator and what it found: its name (what it makes sure of), the failures
// and warnings it met, or why it was skipped; and the lines the validator prints for a list of
// checks. A check passes when it met neither failures nor warnings, warns when it met only
// warnings, and fails when it met a failure. Only failures make the validator exit non-zero.
//
// Plain value type; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace ffglhost {

enum class Outcome { Pass, Warn, Fail, Skip };

class Check {
public:
    explicit Check(std::string name) : name_(std::move(name)) {}

    void fail(const std::string& problem);
    void warn(const std::string& problem);
    // Marks the check as not run; what it found so far is dropped.
    void skip(const std::string& reason);

    Outcome outcome() const;
    bool failed() const { return outcome() == Outcome::Fail; }
    const std::string& name() const { return name_; }
    std::size_t failureCount() const { return failureCount_; }
    std::size_t warningCount() const { return warningCount_; }
    // The first failures (or warnings) met, at most kShownProblems of them.
    const std::vector<std::string>& failures() const { return failures_; }
    const std::vector<std::string>& warnings() const { return warnings_; }

    // "PASS  <name>", "FAIL  <name>: <problem>; <problem>; <problem> (and 4 more)",
    // "WARN  <name>: ...", "SKIP  <name>: <reason>". No newline. Plug-in texts in problems must
    // already be printable.
    std::string line() const;
    // What the line says after the name: the problems shown, or the reason for a skip; empty
    // for a pass.
    std::string message() const;

    // Problems shown on a check's line; the rest are counted.
    static constexpr std::size_t kShownProblems = 3;

private:
    std::string name_;
    std::vector<std::string> failures_;
    std::vector<std::string> warnings_;
    std::size_t failureCount_ = 0;
    std::size_t warningCount_ = 0;
    std::string skipped_;
};

// "16 checks, 16 passed" or "16 checks, 12 passed, 1 warned, 2 failed, 1 skipped" (no newline).
std::string summaryLine(const std::vector<Outcome>& outcomes);
std::string summaryLine(const std::vector<Check>& checks);
// How many failed.
std::size_t failedCount(const std::vector<Outcome>& outcomes);
std::size_t failedCount(const std::vector<Check>& checks);

} // namespace ffglhost
