// The window elements the fill pass and the fill run read and drive. The main window
// implements it with widgets, the command-line filler with values and a terminal line, tests
// with a recorder. The engine computes every value; a window only shows what it is given.
#pragma once

#include <string>

namespace spylerom::fill {

enum class Pointer { Normal, Busy, Background };

class FillWindow {
public:
    virtual ~FillWindow() = default;

    // Choices.
    virtual std::string driveText() const = 0; // the drive list's text; its first character is the letter
    virtual int fillIndex() const = 0;         // 0 "Null", 1 "En", 2 "Tilfeldig"; other values: no choice
    virtual int blockIndex() const = 0;        // item index of the block size list, -1 for none
    virtual std::string blockText(int index) const = 0;
    virtual int trackBarPosition() const = 0; // 1..10

    // Progress and status.
    virtual void setPassBar(int position) = 0;                   // pbar, 0..100
    virtual void setTotalBar(int position) = 0;                  // pbar2, 0..100
    virtual void setProgressText(const std::string& text) = 0;   // plabel
    virtual void setUsageBar(int maximum, int position) = 0;     // Bar: used MB of total MB
    virtual void setStatusText(const std::string& text) = 0;     // status
    virtual void setRepetitionText(const std::string& text) = 0; // antLabel
    virtual void setStartNoticeVisible(bool visible) = 0;        // StartMemo
    virtual void setWaitNoticeVisible(bool visible) = 0;         // VentMemo
    virtual void setPointer(Pointer pointer) = 0;

    // Idle: START, the choices and the drive list enabled, Stop disabled, focus on START.
    // Running: the reverse, focus on Stop.
    virtual void showIdle() = 0;
    virtual void showRunning() = 0;

    // Repaint at once, then process all pending window messages (Stop arrives here).
    virtual void repaintAndProcessEvents() = 0;
};

} // namespace spylerom::fill
