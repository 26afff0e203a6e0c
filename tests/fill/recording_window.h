// A FillWindow for tests: fixed choices, and a record of everything the engine shows.
#pragma once

#include "fill/fill_engine.h"
#include "fill/fill_window.h"

#include <functional>
#include <string>
#include <vector>

namespace spylerom::test {

class RecordingWindow : public fill::FillWindow {
public:
    std::string drive;
    int fill = 0;
    int block = 7;
    int repetitions = 1;

    // Called at every cycle's message processing, with the cycle's number (1 = first).
    std::function<void(int cycle)> onEvents;

    std::vector<int> passBars;
    std::vector<int> totalBars;
    std::vector<std::string> progressTexts;
    std::string status;
    std::string repetitionText;
    int usageMaximum = -1;
    int usagePosition = -1;
    bool startNotice = false;
    bool waitNotice = false;
    bool waitNoticeShown = false;
    bool running = false;
    int cycles = 0;

    std::string driveText() const override { return drive; }
    int fillIndex() const override { return fill; }
    int blockIndex() const override { return block; }
    std::string blockText(int index) const override {
        static const char* texts[] = {"512", "1024", "2048", "4096", "8192", "16384", "32768", "65536"};
        return index >= 0 && index < 8 ? texts[index] : "";
    }
    int trackBarPosition() const override { return repetitions; }

    void setPassBar(int position) override { passBars.push_back(position); }
    void setTotalBar(int position) override { totalBars.push_back(position); }
    void setProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void setUsageBar(int maximum, int position) override {
        usageMaximum = maximum;
        usagePosition = position;
    }
    void setStatusText(const std::string& text) override { status = text; }
    void setRepetitionText(const std::string& text) override { repetitionText = text; }
    void setStartNoticeVisible(bool visible) override { startNotice = visible; }
    void setWaitNoticeVisible(bool visible) override {
        waitNotice = visible;
        waitNoticeShown = waitNoticeShown || visible;
    }
    void setPointer(fill::Pointer) override {}
    void showIdle() override { running = false; }
    void showRunning() override { running = true; }
    void repaintAndProcessEvents() override {
        ++cycles;
        if (onEvents)
            onEvents(cycles);
    }
};

} // namespace spylerom::test
