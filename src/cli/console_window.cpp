#include "console_window.h"

#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace spylerom::cli {

namespace {

std::string bar(int percent) {
    constexpr int kWidth = 20;
    const int filled = percent * kWidth / 100;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kWidth - filled), '.') + "]";
}

// The progress text without the blanks that pad it where no speed is shown yet.
std::string trimmed(const std::string& text) {
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// "1:05:09", "4:07" or "0:12": seconds as hours, minutes and seconds.
std::string durationText(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[32];
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    return text;
}

std::atomic<int> g_endSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free atomic");

} // namespace

void ConsoleWindow::noteEndSignal(int signal) {
    int none = 0;
    g_endSignal.compare_exchange_strong(none, signal);
}

int ConsoleWindow::endSignal() {
    return g_endSignal.load();
}

void ConsoleWindow::setWaitNoticeVisible(bool visible) {
    if (!visible)
        return;
    finish();
    out_.line("Stopping: closing and deleting the temporary files ...");
}

void ConsoleWindow::stopOnSignal() {
    if (endSignal() != 0 && !stopped_ && engine_) {
        stopped_ = true;
        engine_->StoppKnappClick();
    }
}

void ConsoleWindow::showRunning() {
    // Each pass begins here: a signal that came between passes (or before the first) ends the
    // run before another pass makes its files.
    stopOnSignal();
}

void ConsoleWindow::repaintAndProcessEvents() {
    stopOnSignal();
    draw();
}

std::string ConsoleWindow::timeLeft() const {
    // What is still free, at the speed written so far (once there is a speed worth the name).
    if (engine_ == nullptr)
        return {};
    const fill::FillState& s = engine_->state();
    if (s.ElapsedSeconds < 0.2 || s.BytesWritten <= 0)
        return {};
    const long double bytesPerSecond = s.BytesWritten / static_cast<long double>(s.ElapsedSeconds);
    const long double seconds =
        static_cast<long double>(std::max<std::int64_t>(s.FreeMB, 0)) * 1024 * 1024 / bytesPerSecond;
    if (!std::isfinite(static_cast<double>(seconds)))
        return {};
    return ", " + durationText(static_cast<std::int64_t>(std::ceil(static_cast<double>(seconds)))) + " left";
}

void ConsoleWindow::draw() {
    if (json_) {
        json_->progress(passBar_, totalBar_);
        return;
    }
    if (out_.lost())
        return;
    if (terminal_) {
        // A few redraws a second keep the line current without costing the fill its speed.
        const std::int64_t now = platform::sys().monotonicMilliseconds();
        if (now - lastDrawMs_ < 100 && passBar_ < 100)
            return;
        lastDrawMs_ = now;
        lineOpen_ = out_.write("\r" + bar(passBar_) + " " + bar(totalBar_) + " " + trimmed(progress_) +
                               timeLeft() + "\033[K");
    } else {
        // One plain line per tenth of a pass, so a log of the output stays short.
        const std::string line = std::to_string(passBar_ / 10 * 10) + " % pass, " +
                                 std::to_string(totalBar_ / 10 * 10) + " % total";
        if (line == lastDrawn_)
            return;
        lastDrawn_ = line;
        out_.line(line + ": " + trimmed(progress_) + timeLeft());
    }
}

void ConsoleWindow::finish() {
    if (lineOpen_) {
        out_.write("\n");
        lineOpen_ = false;
    }
}

} // namespace spylerom::cli
