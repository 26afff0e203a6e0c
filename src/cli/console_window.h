// The fill's window on a terminal: the bars and the progress text go to standard error (redrawn
// in place on a terminal, as plain lines otherwise), and a signal that ends the program (noted by
// its handler, seen here between cycles and before each pass) acts as the Stop button.
#pragma once

#include "console_output.h"
#include "fill/fill_engine.h"
#include "fill/fill_window.h"
#include "json_report.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace spylerom::cli {

class ConsoleWindow : public fill::FillWindow {
public:
    ConsoleWindow(ConsoleOutput& out, bool terminal) : out_(out), terminal_(terminal) {}

    // The engine to stop when a signal has been seen.
    void attach(fill::FillEngine* engine) { engine_ = engine; }
    // With --json the progress goes there instead of to the terminal.
    void reportTo(JsonReport* json) { json_ = json; }
    // Notes a signal that asks the program to end; safe in a signal handler. The first one
    // noted is the one the exit status reports.
    static void noteEndSignal(int signal);
    // The first signal noted, 0 when none was.
    static int endSignal();
    // Ends the in-place line so that later output starts on its own line.
    void finish();

    void setPassBar(int position) override { passBar_ = position; }
    void setTotalBar(int position) override { totalBar_ = position; }
    void setProgressText(const std::string& text) override { progress_ = text; }
    void setUsageBar(int, int) override {}
    void setStatusText(const std::string& text) override { status_ = text; }
    void setRepetitionText(const std::string&) override {}
    void setStartNoticeVisible(bool) override {}
    void setWaitNoticeVisible(bool visible) override;
    void setPointer(fill::Pointer) override {}
    void showIdle() override {}
    void showRunning() override;
    void repaintAndProcessEvents() override;

private:
    void stopOnSignal();
    void draw();
    std::string timeLeft() const;

    ConsoleOutput& out_;
    bool terminal_;
    fill::FillEngine* engine_ = nullptr;
    JsonReport* json_ = nullptr;
    bool stopped_ = false;
    int passBar_ = 0;
    int totalBar_ = 0;
    std::string progress_;
    std::string status_;
    std::string lastDrawn_;
    std::int64_t lastDrawMs_ = 0;
    bool lineOpen_ = false;
};

} // namespace spylerom::cli
