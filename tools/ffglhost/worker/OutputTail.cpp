// The last lines of an output stream (see OutputTail.h).
#include "worker/OutputTail.h"

#include "plugin/PluginDescription.h"

namespace ffglhost {

OutputTail::OutputTail(std::size_t lines, std::size_t lineLength) : keep_(lines), lineLength_(lineLength) {}

void OutputTail::add(const char* data, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; ++i) {
        const char c = data[i];
        if (c == '\n') {
            endLine();
        } else if (c != '\r') {
            if (current_.size() < lineLength_)
                current_ += c;
            else
                cut_ = true;
        }
    }
}

void OutputTail::endLine()
{
    if (!current_.empty()) {
        done_.push_back(printable(current_) + (cut_ ? "..." : ""));
        while (done_.size() > keep_)
            done_.pop_front();
    }
    current_.clear();
    cut_ = false;
}

std::vector<std::string> OutputTail::lines() const
{
    std::vector<std::string> out(done_.begin(), done_.end());
    if (!current_.empty())
        out.push_back(printable(current_) + (cut_ ? "..." : ""));
    while (out.size() > keep_)
        out.erase(out.begin());
    return out;
}

} // namespace ffglhost
