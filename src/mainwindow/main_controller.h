// The main window's decisions, shared by the Qt and the Win32 front ends: the order of its
// creation and close, the remembered choices, the run's start and Stop, a close or the end of
// the program asked for during a run, and how often a writing pass's progress is painted. The
// front end owns the controls and the message loop and shows what it is told through MainView;
// the fill itself is the engine's.
#pragma once

#include "fill/fill_choices.h"
#include "fill/fill_engine.h"
#include "fill/fill_window.h"
#include "frame/placement.h"

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace spylerom::mainwindow {

// One item of the drive list: the text shown, and the drive's root (mount point), by which a
// stored choice finds its drive again when the list has changed. The run gets it as it is.
using DriveItem = fill::DriveChoice;

// What the controller needs of a main window. Every setter leaves the window's own change
// handlers unrun (the controller calls what must follow).
class MainView {
public:
    virtual ~MainView() = default;

    // The choices: list indexes (-1: none) and the bar's position. The controller turns them
    // into the run's FillChoices; the lists' items are fill::kPatternNames and fill::kBlockChoices.
    virtual int fillIndex() const = 0;
    virtual int blockIndex() const = 0;
    virtual int trackBarPosition() const = 0;
    virtual int driveIndex() const = 0; // -1: none

    // The choices, set. An index the list does not have leaves it without a selection; the
    // track bar keeps a position within its range (1..10).
    virtual void setDriveItems(const std::vector<DriveItem>& items) = 0;
    virtual void selectDrive(int index) = 0;
    virtual void selectFill(int index) = 0;
    virtual void selectBlock(int index) = 0;
    virtual void setTrackBarPosition(int position) = 0;

    // The progress, shown at once (the controller decides when).
    virtual void showPassBar(int position) = 0;  // pbar, 0..100
    virtual void showTotalBar(int position) = 0; // pbar2, 0..100
    virtual void showProgressText(const std::string& text) = 0;
    virtual void showUsageBar(int maximum, int position) = 0; // maximum >= 1, 0 <= position <= maximum
    virtual void showStatusText(const std::string& text) = 0;
    virtual void setRepetitionText(const std::string& text) = 0;
    virtual void setStartNoticeVisible(bool visible) = 0;
    // The start notice's lines (StartMemo), set before a run shows it.
    virtual void setStartNoticeLines(const std::vector<std::string>& lines) = 0;
    virtual void setWaitNoticeVisible(bool visible) = 0;
    virtual void setPointer(fill::Pointer pointer) = 0;

    // Idle: START, the choices and the drive list enabled, Stop disabled, focus on START (enabled
    // first, so the focus never passes through the choices). Running: the reverse, focus on Stop.
    virtual void showIdleButtons() = 0;
    virtual void showRunningButtons() = 0;

    // Paints the whole window now, without handling messages.
    virtual void repaintNow() = 0;
    // Handles every pending message (Stop and a close arrive here during a pass).
    virtual void processMessages() = 0;
    // Closes the window as its close box does: at once, through MainController::closeRequested.
    virtual void closeNow() = 0;
    // The same once the current message has been handled (a run's handler is still on the stack).
    virtual void closeLater() = 0;
    // Ends the message loop once the current message has been handled, closing no window.
    virtual void endMessageLoop() = 0;
    // Opens the system information dialog, modal.
    virtual void showSystemInformation() = 0;

    // The window's place on the screen, stored and restored by the frame.
    virtual frame::PlacementWindow& placement() = 0;
};

class MainController : private fill::FillWindow {
public:
    // The window's outer size as designed; a stored placement restores only its position.
    static constexpr int kOuterWidth = 667;
    static constexpr int kOuterHeight = 421;
    // The fastest the progress is painted while a pass writes; messages are still handled
    // after every cycle.
    static constexpr std::chrono::milliseconds kRepaintInterval{100};

    explicit MainController(MainView& view);
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    fill::FillEngine& engine() { return engine_; }

    // Logs the start, restores the place, fills the drive list, reads the remembered choices
    // and shows the drive's status. The window calls it once, when it has its controls.
    void FormCreate();
    // Stores the place and the four choices and logs the end; runs once, later calls do nothing.
    void FormClose();

    // The START button: a whole run, unless one is still active (Stop enables START while the
    // stopped pass cleans up). Returns when the run has ended. The start notice tells what the
    // run cannot reach without administrator rights, when that matters for the chosen drive.
    void Spyleromen();
    void StoppKnappClick();
    void StasjonChange();
    void TrackBar1Change();
    void Avslytt1Click(); // the window's close, as its close box
    // Opens the log file as last saved with the program the system has for it.
    void Vislogg1Click();
    void Systeminformasjon1Click();
    // Starts the updater and ends the program without the close handling (the choices of this
    // run are not stored); a running fill is stopped and cleans up first.
    void Direkteoppdateringfrainternett1Click();

    // The window is asked to close (its close box, "Avslutt", the system). True: FormClose has
    // run and the window may close now. False: a run is active; it is stopped and the window
    // is closed (closeLater) once the pass has cleaned up.
    bool closeRequested();
    // Ends the message loop once no fill runs any more: at once when idle, otherwise after the
    // running pass has been stopped and has cleaned up. The window's close is not run.
    void quitWhenIdle();

private:
    // The progress values a pass sets every cycle; shown when the window is next painted.
    struct Progress {
        std::optional<int> passBar, totalBar;
        std::optional<std::string> progressText, statusText;
        std::optional<std::pair<int, int>> usageBar; // maximum, position
    };

    // The drive the list has selected (empty when none), and the run's choices from the view.
    fill::DriveChoice chosenDrive() const;
    fill::FillChoices choices() const;

    // fill::FillWindow
    void setPassBar(int position) override;
    void setTotalBar(int position) override;
    void setProgressText(const std::string& text) override;
    void setUsageBar(int maximum, int position) override;
    void setStatusText(const std::string& text) override;
    void setRepetitionText(const std::string& text) override;
    void setStartNoticeVisible(bool visible) override;
    void setWaitNoticeVisible(bool visible) override;
    void setPointer(fill::Pointer pointer) override;
    void showIdle() override;
    void showRunning() override;
    void repaintAndProcessEvents() override;

    void fillDriveList();
    // The start notice of a run on the chosen drive: with what stays out of this process's
    // reach, and a "HINT:" line in the log, when a held-back pool cannot be lifted.
    void prepareStartNotice();
    // The item a stored "Stasjon" position and drive root select now (-1: none).
    int storedDrive(int position, const std::string& root) const;
    void readChoices();
    void writeChoices();
    void progressChanged();
    void showProgress();
    void afterRun();
    void stopForEnd();

    MainView& view_;
    fill::FillEngine engine_;
    std::vector<DriveItem> drives_;
    Progress pending_;
    std::optional<std::chrono::steady_clock::time_point> lastPaint_;
    bool closeAfterRun_ = false;
    bool quitAfterRun_ = false;
    bool formClosed_ = false;
};

} // namespace spylerom::mainwindow
