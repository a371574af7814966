// The last lines of a stream of output, kept while the output is passed on: what a plug-in
// printed just before its process died. Lines are cut to a bounded length and made printable;
// a last line without its newline counts too. Plain value type; one thread.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace ffglhost {

class OutputTail {
public:
    // Keeps the last `lines` non-empty lines of at most `lineLength` characters each.
    explicit OutputTail(std::size_t lines = 3, std::size_t lineLength = 160);

    void add(const char* data, std::size_t bytes);
    // The kept lines, oldest first, with the unfinished last line.
    std::vector<std::string> lines() const;

private:
    void endLine();

    std::size_t keep_;
    std::size_t lineLength_;
    std::deque<std::string> done_;
    std::string current_;
    bool cut_ = false; // the current line grew past lineLength_
};

} // namespace ffglhost
