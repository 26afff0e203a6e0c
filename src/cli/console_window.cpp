#include "console_window.h"

#include "cli_options.h"
#include "platform/platform.h"

namespace spylerom::cli {

namespace {

std::string bar(int percent) {
    constexpr int kWidth = 20;
    const int filled = percent * kWidth / 100;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kWidth - filled), '.') + "]";
}

} // namespace

ConsoleWindow::ConsoleWindow(std::string driveText, int fillIndex, int blockIndex, int repetitions,
                             std::FILE* out, bool terminal)
    : driveText_(std::move(driveText)), fillIndex_(fillIndex), blockIndex_(blockIndex),
      repetitions_(repetitions), out_(out), terminal_(terminal) {}

std::atomic<int>& ConsoleWindow::interrupts() {
    static std::atomic<int> count{0};
    return count;
}

std::string ConsoleWindow::blockText(int index) const {
    return index >= 0 && index < static_cast<int>(kBlockChoices.size())
               ? kBlockChoices[static_cast<std::size_t>(index)]
               : std::string();
}

void ConsoleWindow::setWaitNoticeVisible(bool visible) {
    if (!visible)
        return;
    finish();
    std::fprintf(out_, "Stopping: closing and deleting the temporary files ...\n");
    std::fflush(out_);
}

void ConsoleWindow::repaintAndProcessEvents() {
    if (interrupts().load() > 0 && !stopped_ && engine_) {
        stopped_ = true;
        engine_->StoppKnappClick();
    }
    draw();
}

void ConsoleWindow::draw() {
    if (terminal_) {
        // A few redraws a second keep the line current without costing the fill its speed.
        const std::int64_t now = platform::sys().monotonicMilliseconds();
        if (now - lastDrawMs_ < 100 && passBar_ < 100)
            return;
        lastDrawMs_ = now;
        std::fprintf(out_, "\r%s %s %s\033[K", bar(passBar_).c_str(), bar(totalBar_).c_str(),
                     progress_.c_str());
        lineOpen_ = true;
    } else {
        // One plain line per tenth of a pass, so a log of the output stays short.
        const std::string line = std::to_string(passBar_ / 10 * 10) + " % pass, " +
                                 std::to_string(totalBar_ / 10 * 10) + " % total";
        if (line == lastDrawn_)
            return;
        lastDrawn_ = line;
        std::fprintf(out_, "%s: %s\n", line.c_str(), progress_.c_str());
    }
    std::fflush(out_);
}

void ConsoleWindow::finish() {
    if (lineOpen_) {
        std::fputc('\n', out_);
        lineOpen_ = false;
    }
}

} // namespace spylerom::cli
