// Validator checks and their lines (see Check.h).
#include "commands/validate/Check.h"

namespace ffglhost {

namespace {

void keep(std::vector<std::string>& shown, std::size_t& count, const std::string& problem)
{
    if (shown.size() < Check::kShownProblems)
        shown.push_back(problem);
    ++count;
}

std::string joined(const std::vector<std::string>& shown, std::size_t count)
{
    std::string out;
    for (const std::string& p : shown)
        out += (out.empty() ? "" : "; ") + p;
    if (count > shown.size())
        out += " (and " + std::to_string(count - shown.size()) + " more)";
    return out;
}

} // namespace

void Check::fail(const std::string& problem)
{
    if (skipped_.empty())
        keep(failures_, failureCount_, problem);
}

void Check::warn(const std::string& problem)
{
    if (skipped_.empty())
        keep(warnings_, warningCount_, problem);
}

void Check::skip(const std::string& reason)
{
    skipped_ = reason.empty() ? "not run" : reason;
    failures_.clear();
    warnings_.clear();
    failureCount_ = warningCount_ = 0;
}

Outcome Check::outcome() const
{
    if (!skipped_.empty())
        return Outcome::Skip;
    if (failureCount_ > 0)
        return Outcome::Fail;
    return warningCount_ > 0 ? Outcome::Warn : Outcome::Pass;
}

std::string Check::message() const
{
    switch (outcome()) {
    case Outcome::Pass: return "";
    case Outcome::Warn: return joined(warnings_, warningCount_);
    case Outcome::Fail: return joined(failures_, failureCount_);
    case Outcome::Skip: break;
    }
    return skipped_;
}

std::string Check::line() const
{
    static const char* const tags[4] = {"PASS  ", "WARN  ", "FAIL  ", "SKIP  "};
    const Outcome o = outcome();
    return tags[static_cast<int>(o)] + name_ + (o == Outcome::Pass ? "" : ": " + message());
}

namespace {

std::vector<Outcome> outcomesOf(const std::vector<Check>& checks)
{
    std::vector<Outcome> out;
    for (const Check& c : checks)
        out.push_back(c.outcome());
    return out;
}

} // namespace

std::string summaryLine(const std::vector<Outcome>& outcomes)
{
    std::size_t counts[4] = {0, 0, 0, 0};
    for (Outcome o : outcomes)
        ++counts[static_cast<int>(o)];
    std::string out = std::to_string(outcomes.size()) + (outcomes.size() == 1 ? " check, " : " checks, ") +
                      std::to_string(counts[static_cast<int>(Outcome::Pass)]) + " passed";
    const char* const labels[4] = {"passed", "warned", "failed", "skipped"};
    for (int i = 1; i < 4; ++i)
        if (counts[i] > 0)
            out += ", " + std::to_string(counts[i]) + " " + labels[i];
    return out;
}

std::string summaryLine(const std::vector<Check>& checks) { return summaryLine(outcomesOf(checks)); }

std::size_t failedCount(const std::vector<Outcome>& outcomes)
{
    std::size_t n = 0;
    for (Outcome o : outcomes)
        n += o == Outcome::Fail ? 1 : 0;
    return n;
}

std::size_t failedCount(const std::vector<Check>& checks) { return failedCount(outcomesOf(checks)); }

} // namespace ffglhost
