// The validator's shared progress (see ValidationProgress.h).
#include "commands/validate/ValidationProgress.h"

#include "worker/FlightRecord.h"

namespace ffglhost {

namespace {

const char kCutMark[] = " ...";

} // namespace

void ValidationProgress::reset()
{
    for (auto& o : outcomes_)
        o.store(0);
    for (auto& c : crashed_)
        c.store(0);
    for (auto& m : messages_)
        storeText(m, kCheckMessageCapacity, "");
    for (auto& ms : milliseconds_)
        ms.store(0);
    headerPrinted_.store(false);
    effect_.store(false);
    storeText(renderer_, kRendererTextCapacity, "");
    storeText(name_, kIdentityTextCapacity, "");
    storeText(uniqueId_, kIdentityTextCapacity, "");
    type_.store(-1);
    storeText(inputs_, kInputsTextCapacity, "");
    startWorker();
}

void ValidationProgress::startWorker()
{
    stage_.store(kStarting);
    finished_.store(false);
    storeText(failure_, kFailureTextCapacity, "");
}

void ValidationProgress::report(int check, Outcome outcome, const std::string& message, double seconds)
{
    const std::size_t most = kCheckMessageCapacity - 1;
    storeText(messages_[check], kCheckMessageCapacity,
              message.size() <= most ? message : message.substr(0, most - (sizeof kCutMark - 1)) + kCutMark);
    const double ms = seconds * 1000.0;
    milliseconds_[check].store(ms > 0.0 && ms < 4.0e9 ? static_cast<uint32_t>(ms + 0.5) : 0, std::memory_order_release);
    outcomes_[check].store(static_cast<uint8_t>(1 + static_cast<int>(outcome)), std::memory_order_release);
}

std::string ValidationProgress::message(int check) const { return loadText(messages_[check], kCheckMessageCapacity); }

double ValidationProgress::seconds(int check) const
{
    return milliseconds_[check].load(std::memory_order_acquire) / 1000.0;
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

void ValidationProgress::setIdentity(const std::string& name, const std::string& uniqueId, uint32_t type)
{
    storeText(name_, kIdentityTextCapacity, name);
    storeText(uniqueId_, kIdentityTextCapacity, uniqueId);
    type_.store(type, std::memory_order_release);
}

std::string ValidationProgress::name() const { return loadText(name_, kIdentityTextCapacity); }

std::string ValidationProgress::uniqueId() const { return loadText(uniqueId_, kIdentityTextCapacity); }

void ValidationProgress::setInputs(const std::vector<std::string>& labels)
{
    std::string text;
    for (const std::string& l : labels)
        text += l + "\n";
    storeText(inputs_, kInputsTextCapacity, text);
}

std::vector<std::string> ValidationProgress::inputs() const
{
    // A label cut by the capacity has no line end and is left out.
    const std::string text = loadText(inputs_, kInputsTextCapacity);
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace ffglhost
