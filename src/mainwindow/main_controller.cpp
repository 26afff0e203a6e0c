// The main window's decisions: its creation and close, the remembered choices, and the fill's
// side of the window. The engine sets values through FillWindow; a writing pass's progress is
// kept and shown a few times a second, while messages are handled after every cycle.
#include "mainwindow/main_controller.h"

#include "fill/reserve_reach.h"
#include "frame/launch.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "mainwindow/notice_texts.h"
#include "platform/platform.h"
#include "sysinfo/system_facts.h"

#include <algorithm>
#include <exception>

namespace spylerom::mainwindow {

namespace {

// Where the window keeps its place and its choices in the per-user settings.
constexpr const char* kPlacementName = "SpyleRomVindu";
constexpr const char* kChoicesSection = "Spylerom";
// Beside the drive's list position ("Stasjon"): its root, which still names it when the list
// has changed between runs.
constexpr const char* kDriveRootKey = "StasjonRot";

// Runs a handler; an exception it lets out is logged instead of ending the program (no
// exception may reach a toolkit's message dispatch).
template <typename Handler> void guarded(const char* name, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        frame::WriteLog(std::string("FEIL: ") + name + ": " + e.what());
    } catch (...) {
        frame::WriteLog(std::string("FEIL: ") + name);
    }
}

} // namespace

MainController::MainController(MainView& view) : view_(view), engine_(*this) {}

// --- Creation and close ---------------------------------------------------------------------

void MainController::FormCreate() {
    frame::WriteLog("- PROGRAMMET STARTER -");
    frame::PlacementWindow& placement = view_.placement();
    std::string extra;
    frame::RestorePlacement(placement, kPlacementName, extra);
    // Only the stored position and maximized state count: the window keeps its designed size.
    placement.setHeight(kOuterHeight);
    placement.setWidth(kOuterWidth);
    // The view's change handlers stay unrun: the drive's status is refreshed once, below, and
    // the repetitions once the bar is set.
    fillDriveList();
    readChoices();
    TrackBar1Change();
    StasjonChange();
}

void MainController::FormClose() {
    if (formClosed_)
        return;
    formClosed_ = true;
    frame::SavePlacement(view_.placement(), kPlacementName, "");
    writeChoices();
    frame::WriteLog("- PROGRAMMET AVSLUTTES -");
}

void MainController::fillDriveList() {
    drives_.clear();
    for (const platform::Drive& drive : platform::sys().drives())
        drives_.push_back({drive.itemText, drive.root});
    view_.setDriveItems(drives_);
}

int MainController::storedDrive(int position, const std::string& root) const {
    const int count = static_cast<int>(drives_.size());
    // 0, or nothing stored, means the last drive; so the first drive is never restored.
    if (position == 0)
        return count - 1;
    // Without a stored root (settings of an older version) the position alone decides. With
    // one, the drive list may have changed since: the same drive wherever it stands now, or
    // none when it is gone, never the drive that took its place.
    if (root.empty())
        return position;
    const auto found = std::find_if(drives_.begin(), drives_.end(),
                                    [&](const DriveItem& item) { return item.root == root; });
    return found == drives_.end() ? -1 : static_cast<int>(found - drives_.begin());
}

void MainController::readChoices() {
    frame::OpenUserSettings();
    frame::SelectSection(kChoicesSection);
    view_.selectFill(frame::ReadSettingInteger("Fyll"));
    view_.setTrackBarPosition(frame::ReadSettingInteger("Gjentagelser")); // kept within 1..10
    view_.selectDrive(
        storedDrive(frame::ReadSettingInteger("Stasjon"), frame::ReadSettingString(kDriveRootKey)));
    view_.selectBlock(frame::ReadSettingInteger("Blokk"));
    frame::ResetSection();
    frame::CloseUserSettings();
}

void MainController::writeChoices() {
    const int drive = view_.driveIndex();
    frame::OpenUserSettings();
    frame::SelectSection(kChoicesSection);
    frame::WriteSettingInteger("Fyll", view_.fillIndex());
    frame::WriteSettingInteger("Gjentagelser", view_.trackBarPosition());
    frame::WriteSettingInteger("Stasjon", drive);
    frame::WriteSettingInteger("Blokk", view_.blockIndex());
    const bool known = drive >= 0 && drive < static_cast<int>(drives_.size());
    frame::WriteSettingString(kDriveRootKey, known ? drives_[drive].root : std::string());
    frame::ResetSection();
    frame::CloseUserSettings();
}

// --- Handlers -------------------------------------------------------------------------------

void MainController::Spyleromen() {
    // Stop enables START while the stopped pass still cleans up; that click is not a new run.
    if (engine_.runActive())
        return;
    lastPaint_.reset();
    guarded("Spyleromen", [&] {
        prepareStartNotice();
        (void)engine_.Spyleromen(choices()); // the log and the window have told how it went
    });
    afterRun();
}

void MainController::prepareStartNotice() {
    std::vector<std::string> lines = startMemoLines();
    const fill::DriveChoice drive = chosenDrive();
    const std::string fileSystem =
        fill::ReserveOutOfReach(platform::sys().isDriveRoot(drive.root) ? drive.root : std::string());
    if (!fileSystem.empty()) {
        frame::WriteLog(fill::ReserveHintLine(drive.text, fileSystem));
        lines.emplace_back();
        for (const std::string& line : fill::ReserveNoticeLines(fileSystem))
            lines.push_back(line);
    }
    view_.setStartNoticeLines(lines);
}

void MainController::afterRun() {
    showProgress();
    if (quitAfterRun_)
        view_.endMessageLoop();
    else if (closeAfterRun_)
        view_.closeLater();
    quitAfterRun_ = closeAfterRun_ = false;
}

void MainController::StoppKnappClick() {
    guarded("StoppKnappClick", [&] { engine_.StoppKnappClick(); });
    // The pass closes and deletes its files without handling messages: the idle buttons and
    // the clean-up notice are painted now, before it does.
    showProgress();
    view_.repaintNow();
}

void MainController::StasjonChange() {
    guarded("StasjonChange", [&] { engine_.selectDrive(chosenDrive()); });
}

void MainController::TrackBar1Change() {
    guarded("TrackBar1Change", [&] { engine_.TrackBar1Change(view_.trackBarPosition()); });
}

void MainController::Avslytt1Click() {
    view_.closeNow();
}

void MainController::Vislogg1Click() {
    // The file as last saved; the lines of this run reach it when the program ends.
    guarded("Vislogg1Click", [] { frame::LaunchFile(frame::logState().LogFileName, "", ""); });
}

void MainController::Systeminformasjon1Click() {
    guarded("Systeminformasjon1Click", [&] {
        sysinfo::InfoProgramnavn = "Spylerom";
        view_.showSystemInformation();
    });
}

void MainController::Direkteoppdateringfrainternett1Click() {
    // Ends the message loop through the frame's quit request, which waits for a running fill
    // to clean up; the window is destroyed without closing, so FormClose does not run.
    guarded("Direkteoppdateringfrainternett1Click", [] { frame::StartProgramUpdate(); });
}

void MainController::stopForEnd() {
    if (!engine_.state().StopRequested)
        StoppKnappClick();
}

bool MainController::closeRequested() {
    if (engine_.runActive()) {
        // Ending the program must not leave a fill writing on unseen, nor its files on the
        // disk: the run is stopped, and the window closes once the pass has cleaned up.
        closeAfterRun_ = true;
        stopForEnd();
        return false;
    }
    guarded("FormClose", [&] { FormClose(); });
    return true;
}

void MainController::quitWhenIdle() {
    if (!engine_.runActive()) {
        view_.endMessageLoop();
        return;
    }
    quitAfterRun_ = true;
    stopForEnd();
}

// --- The fill's window ----------------------------------------------------------------------

fill::DriveChoice MainController::chosenDrive() const {
    const int index = view_.driveIndex();
    return index >= 0 && index < static_cast<int>(drives_.size()) ? drives_[static_cast<std::size_t>(index)]
                                                                  : fill::DriveChoice{};
}

fill::FillChoices MainController::choices() const {
    fill::FillChoices choices;
    choices.drive = chosenDrive();
    choices.pattern = fill::PatternAt(view_.fillIndex());
    choices.blockSize = fill::BlockSizeAt(view_.blockIndex());
    choices.repetitions = view_.trackBarPosition();
    choices.trim = fill::TrimEtterFylling();
    return choices;
}

void MainController::setPassBar(int position) {
    pending_.passBar = position;
    progressChanged();
}

void MainController::setTotalBar(int position) {
    pending_.totalBar = position;
    progressChanged();
}

void MainController::setProgressText(const std::string& text) {
    pending_.progressText = text;
    progressChanged();
}

void MainController::setUsageBar(int maximum, int position) {
    pending_.usageBar = std::make_pair(maximum, position);
    progressChanged();
}

void MainController::setStatusText(const std::string& text) {
    pending_.statusText = text;
    progressChanged();
}

void MainController::progressChanged() {
    // A writing pass sets these every cycle; they are shown when the window is next painted.
    if (!engine_.passActive())
        showProgress();
}

void MainController::showProgress() {
    if (pending_.passBar)
        view_.showPassBar(std::clamp(*pending_.passBar, 0, 100));
    if (pending_.totalBar)
        view_.showTotalBar(std::clamp(*pending_.totalBar, 0, 100));
    if (pending_.progressText)
        view_.showProgressText(*pending_.progressText);
    if (pending_.usageBar) {
        // A range of 0..0 would make a bar an endless busy indicator: a drive without a
        // measurable size shows as an empty bar.
        const int maximum = std::max(pending_.usageBar->first, 1);
        view_.showUsageBar(maximum, std::clamp(pending_.usageBar->second, 0, maximum));
    }
    if (pending_.statusText)
        view_.showStatusText(*pending_.statusText);
    pending_ = Progress{};
}

void MainController::setRepetitionText(const std::string& text) {
    view_.setRepetitionText(text);
}

void MainController::setStartNoticeVisible(bool visible) {
    view_.setStartNoticeVisible(visible);
}

void MainController::setWaitNoticeVisible(bool visible) {
    view_.setWaitNoticeVisible(visible);
}

void MainController::setPointer(fill::Pointer pointer) {
    view_.setPointer(pointer);
}

void MainController::showIdle() {
    view_.showIdleButtons();
    showProgress();
}

void MainController::showRunning() {
    view_.showRunningButtons();
}

void MainController::repaintAndProcessEvents() {
    const auto now = std::chrono::steady_clock::now();
    if (!lastPaint_ || now - *lastPaint_ >= kRepaintInterval) {
        showProgress();
        view_.repaintNow();
        lastPaint_ = now;
    }
    view_.processMessages();
}

} // namespace spylerom::mainwindow
