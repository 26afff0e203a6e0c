#include "console_output.h"

#include <string>

namespace spylerom::cli {

bool ConsoleOutput::write(std::string_view text) {
    if (lost_)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), stream_) == text.size();
    if (!written || std::fflush(stream_) != 0) {
        lost_ = true;
        // What is still buffered could only fail again, at every later flush of the stream.
        std::clearerr(stream_);
        return false;
    }
    return true;
}

bool ConsoleOutput::line(std::string_view text) {
    std::string withEnd(text);
    withEnd += '\n';
    return write(withEnd);
}

} // namespace spylerom::cli
