// The validator's shared progress (see ValidationProgress.h).
#include "commands/validate/ValidationProgress.h"

#include "worker/FlightRecord.h"

namespace ffglhost {

void ValidationProgress::reset()
{
    for (auto& o : outcomes_)
        o.store(0);
    for (auto& c : crashed_)
        c.store(0);
    headerPrinted_.store(false);
    effect_.store(false);
    storeText(renderer_, kRendererTextCapacity, "");
    startWorker();
}

void ValidationProgress::startWorker()
{
    stage_.store(kStarting);
    finished_.store(false);
    storeText(failure_, kFailureTextCapacity, "");
}

void ValidationProgress::report(int check, Outcome outcome)
{
    outcomes_[check].store(static_cast<uint8_t>(1 + static_cast<int>(outcome)), std::memory_order_release);
}

bool ValidationProgress::reported(int check) const { return outcomes_[check].load(std::memory_order_acquire) != 0; }

Outcome ValidationProgress::outcome(int check) const
{
    const int v = outcomes_[check].load(std::memory_order_acquire);
    return v == 0 ? Outcome::Skip : static_cast<Outcome>(v - 1);
}

std::vector<Outcome> ValidationProgress::outcomes() const
{
    std::vector<Outcome> out;
    for (int c = 0; c < kCheckCount; ++c)
        if (reported(c))
            out.push_back(outcome(c));
    return out;
}

void ValidationProgress::setRenderer(const std::string& text) { storeText(renderer_, kRendererTextCapacity, text); }

std::string ValidationProgress::renderer() const { return loadText(renderer_, kRendererTextCapacity); }

void ValidationProgress::setFailure(const std::string& text) { storeText(failure_, kFailureTextCapacity, text); }

std::string ValidationProgress::failure() const { return loadText(failure_, kFailureTextCapacity); }

} // namespace ffglhost
