// A FillWindow for tests: the choices a run is given, and a record of everything the engine
// shows.
#pragma once

#include "fill/fill_engine.h"
#include "fill/fill_window.h"
#include "platform/platform.h"

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
    bool trim = true; // the freed space goes back to the device after each pass

    // The drive as a drive list holds it: its text, and its root: on Linux the mount point the
    // text names, on Windows the root the platform has for the letter now.
    fill::DriveChoice driveChoice() const {
        std::string root = drive.empty() ? std::string() : platform::sys().driveRoot(drive.front());
#ifndef _WIN32
        const auto open = drive.find(" [");
        if (open != std::string::npos && drive.back() == ']')
            root = drive.substr(open + 2, drive.size() - open - 3);
#endif
        if (!root.empty() && root.back() != platform::kPathSeparator)
            root += platform::kPathSeparator;
        return {drive, root};
    }
    // What a front end hands the engine at START.
    fill::FillChoices choices() const {
        return {driveChoice(), fill::PatternAt(fill), fill::BlockSizeAt(block), repetitions, trim};
    }

    void setPassBar(int position) override {
        passBars.push_back(position);
    }
    void setTotalBar(int position) override {
        totalBars.push_back(position);
    }
    void setProgressText(const std::string& text) override {
        progressTexts.push_back(text);
    }
    void setUsageBar(int maximum, int position) override {
        usageMaximum = maximum;
        usagePosition = position;
    }
    void setStatusText(const std::string& text) override {
        status = text;
    }
    void setRepetitionText(const std::string& text) override {
        repetitionText = text;
    }
    void setStartNoticeVisible(bool visible) override {
        startNotice = visible;
    }
    void setWaitNoticeVisible(bool visible) override {
        waitNotice = visible;
        waitNoticeShown = waitNoticeShown || visible;
    }
    void setPointer(fill::Pointer) override {}
    void showIdle() override {
        running = false;
    }
    void showRunning() override {
        running = true;
    }
    void repaintAndProcessEvents() override {
        ++cycles;
        if (onEvents)
            onEvents(cycles);
    }
};

} // namespace spylerom::test
