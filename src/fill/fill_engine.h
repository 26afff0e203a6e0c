// The fill engine: one pass over a drive (StartknappClick), the run of passes (Spyleromen),
// the drive status refresh and the idle/running switches. A front end hands it the run's
// FillChoices at START; it keeps the run's figures in its own FillState, reports through a
// FillWindow and the log, and returns a RunReport. It never touches a widget.
#pragma once

#include "fill/fill_choices.h"
#include "fill/fill_state.h"
#include "fill/fill_window.h"
#include "fill/pass_files.h"
#include "fill/record_fill.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace spylerom::fill {

struct WriterProgress;

// How a run ended, and what failed on the way (each failure's log line and its code, 0 where
// the line names none). The log has shown every line already; the report is for callers that
// decide on it, such as the command line's exit status.
struct RunFailure {
    std::string line;
    std::uint32_t code = 0;
};
struct RunReport {
    bool started = false;   // false: a run was still active, and this START did nothing
    bool stopped = false;   // Stop, a signal, or a failure that stops the run
    int passes = 0;         // passes begun
    int failedPasses = 0;   // passes whose files could not be made
    int troubledPasses = 0; // passes that met a failure after their files were made
    std::vector<RunFailure> failures;
    bool failed() const { return failedPasses > 0 || troubledPasses > 0 || !failures.empty(); }
};

class FillEngine {
public:
    explicit FillEngine(FillWindow& window);
    ~FillEngine();
    FillEngine(const FillEngine&) = delete;
    FillEngine& operator=(const FillEngine&) = delete;

    // The figures of the current or the latest run, and of the drive the status shows.
    const FillState& state() const { return state_; }

    // The drive the status shows, refreshed at once with reset (StasjonChange(true)).
    void selectDrive(DriveChoice drive);
    // Drive status refresh; reset takes the drive number afresh and clears the bars.
    void StasjonChange(bool reset);
    // A whole fill run (the START button): choices.repetitions passes unless Stop ends it.
    // Returns at once, with started false, while a run is still active.
    RunReport Spyleromen(const FillChoices& choices);
    void settstart(); // idle
    void settstopp(); // running
    void StoppKnappClick();
    // The repetitions bar moved: its label, and the repetitions the status counts with.
    void TrackBar1Change(int position);

    // True from START until the run has ended, the stopped pass's clean-up included.
    bool runActive() const { return runActive_; }
    // True while a pass has files open.
    bool passActive() const { return passActive_; }
    // Passes of the latest run that ended because their files could not be created.
    int failedPasses() const { return report_.failedPasses; }
    // Passes of the latest run that met a failure after their files were made: a write that
    // failed for another reason than a full drive, a drive that went away, a file that could not
    // be flushed, closed or deleted.
    int troubledPasses() const { return report_.troubledPasses; }

    // How often the window is refreshed while the writer works, in milliseconds.
    static constexpr int kRefreshMs = 50;

private:
    // One fill pass over the chosen drive, with the run's choices.
    void StartknappClick();
    const std::string& driveRoot(bool refresh);
    bool openFiles(PassFiles& files, char letter);
    void writeAndCleanUp(PassFiles& files, std::int64_t startFreeMB, bool randomFill);
    void refresh(std::int64_t startFreeMB);
    // The file-record step (fill/record_fill.h), on the space the pass's files gave back.
    void takeFreeFileRecords(PassFiles& files, bool randomFill);
    // What a small-file step asks between its files: Stop, seen through the window's message
    // processing now and then.
    std::function<bool()> stepStopRequested();
    // Deletes a small-file step's files and folder (after the volume settled, so they reach the
    // disk first); false, with the failure logged, when some stay.
    bool removeStepFiles(PassFiles& files, const RecordFillResult& result, const std::string& deletingLine,
                         const std::string& failureLine);
    // Before the space fill: btrfs's metadata block groups move to new ones, so the fill takes
    // the old ones with the names and small files they kept.
    void relocateMetadata(PassFiles& files);
    // After the deletes: what the volume's own structures still keep of deleted files (btrfs's
    // free metadata space where it could not be relocated, the xfs log, the ext4 journal), then
    // the freed space goes back to the device.
    void clearStructures(PassFiles& files, bool randomFill);
    void fillMetadataSpace(PassFiles& files, bool randomFill);    // btrfs without the right to relocate
    void overwriteInternalLog(PassFiles& files, bool randomFill); // xfs
    void wipeJournal(PassFiles& files);                           // ext4
    void trimFreedSpace(PassFiles& files);
    // Runs a step of the pass; the detail log says how long it took.
    void timedStep(const char* name, const std::function<void()>& step);
    // The pass's blocks, repeated to `bytes` (a fresh random block for a random pass).
    std::vector<std::uint8_t> patternBytes(std::size_t bytes, bool randomFill);
    void showProgress(double passPercent);
    // Logs a line; a failure line ("FEIL...") goes into the run's report as well, and a
    // "FEILNR:" line gives the failure before it its code.
    void log(const std::string& line);
    void logLines(const std::vector<std::string>& lines);
    void logStop(const std::string& driveText);

    FillWindow& window_;
    FillState state_;
    FillChoices choices_;
    DriveChoice drive_;                       // the drive the status shows
    std::unique_ptr<std::uint8_t[]> pattern_; // kPatternSize bytes, kept from run to run
    RunReport report_;
    std::int32_t written_ = 0; // byte count of the most recent accepted write
    bool runActive_ = false;
    bool passActive_ = false;
    WriterProgress* liveWriter_ = nullptr; // the pass's writer, so Stop reaches it at once
    bool rootKnown_ = false;
    std::string root_;
    // Why the pass's btrfs metadata could not all be relocated (0: it was, or is none), so its
    // free space is to be filled after the deletes instead.
    std::uint32_t metadataLeft_ = 0;
};

// Total bar: the pass bar's share of this repetition plus the repetitions already done.
int TotalBarFor(int passBar, int currentRepetition, int repetitions);
// Rounds to the nearest integer, halves to the even neighbour.
long long RoundHalfEven(double value);

} // namespace spylerom::fill
