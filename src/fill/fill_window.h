// The window elements the fill pass and the fill run drive. The main window implements it with
// widgets, the command-line filler with a terminal line, tests with a recorder. The engine
// computes every value; a window only shows what it is given (the choices come down with the
// run, never back up from here).
#pragma once

#include <string>

namespace spylerom::fill {

enum class Pointer { Normal, Busy, Background };

class FillWindow {
public:
    virtual ~FillWindow() = default;

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
