// The fill's window on a terminal: the choices are fixed values, the bars and the progress
// text go to standard error (redrawn in place on a terminal, as plain lines otherwise), and
// an interrupt arriving between cycles acts as the Stop button.
#pragma once

#include "fill/fill_engine.h"
#include "fill/fill_window.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

namespace spylerom::cli {

class ConsoleWindow : public fill::FillWindow {
public:
    ConsoleWindow(std::string driveText, int fillIndex, int blockIndex, int repetitions, std::FILE* out,
                  bool terminal);

    // The engine to stop when an interrupt has been seen.
    void attach(fill::FillEngine* engine) { engine_ = engine; }
    // Set from a signal handler; read between cycles.
    static std::atomic<int>& interrupts();
    bool interrupted() const { return stopped_; }
    // Ends the in-place line so that later output starts on its own line.
    void finish();

    std::string driveText() const override { return driveText_; }
    int fillIndex() const override { return fillIndex_; }
    int blockIndex() const override { return blockIndex_; }
    std::string blockText(int index) const override;
    int trackBarPosition() const override { return repetitions_; }

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
    void showRunning() override {}
    void repaintAndProcessEvents() override;

private:
    void draw();

    std::string driveText_;
    int fillIndex_;
    int blockIndex_;
    int repetitions_;
    std::FILE* out_;
    bool terminal_;
    fill::FillEngine* engine_ = nullptr;
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
