// Standard error as spylerom-cli's terminal. A write that fails (the reader of a pipe gone, a
// terminal closed) ends the printing, never the fill: the clean-up still runs to its end.
#pragma once

#include <cstdio>
#include <string_view>

namespace spylerom::cli {

class ConsoleOutput {
public:
    explicit ConsoleOutput(std::FILE* stream) : stream_(stream) {}

    // Writes text and pushes it out at once. False, and nothing more written from then on,
    // once a write has failed.
    bool write(std::string_view text);
    // Writes text and a line end.
    bool line(std::string_view text);
    bool lost() const { return lost_; }

private:
    std::FILE* stream_;
    bool lost_ = false;
};

} // namespace spylerom::cli
