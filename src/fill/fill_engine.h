// The fill engine: one pass over a drive (StartknappClick), the run of passes (Spyleromen),
// the drive status refresh and the idle/running switches. It works on FillState and reports
// through a FillWindow and the log; it never touches a widget.
#pragma once

#include "fill/fill_state.h"
#include "fill/fill_window.h"
#include "fill/pass_files.h"

#include <cstdint>
#include <string>

namespace spylerom::fill {

struct WriterProgress;

class FillEngine {
public:
    explicit FillEngine(FillWindow& window) : window_(window) {}

    // Drive status refresh; reset takes the drive number afresh and clears the bars.
    void StasjonChange(bool reset);
    // One fill pass over the chosen drive.
    void StartknappClick();
    // A whole fill run (the START button): Repetitions passes unless Stop ends it.
    void Spyleromen();
    void settstart(); // idle
    void settstopp(); // running
    void StoppKnappClick();
    void TrackBar1Change();

    // True from START until the run has ended, the stopped pass's clean-up included.
    bool runActive() const { return runActive_; }
    // True while a pass has files open.
    bool passActive() const { return passActive_; }
    // Passes of the latest run that ended because their files could not be created.
    int failedPasses() const { return failedPasses_; }

    // Passes of the latest run that met a failure after their files were made: a write that
    // failed for another reason than a full drive, a drive that went away, a file that could not
    // be flushed, closed or deleted.
    int troubledPasses() const { return troubledPasses_; }

    // How often the window is refreshed while the writer works, in milliseconds.
    static constexpr int kRefreshMs = 50;

private:
    const std::string& driveRoot(bool refresh);
    bool openFiles(PassFiles& files, char letter);
    void writeAndCleanUp(PassFiles& files, std::int64_t startFreeMB, bool randomFill);
    void refresh(std::int64_t startFreeMB);
    // The file-record step (fill/record_fill.h), on the space the pass's files gave back.
    void takeFreeFileRecords(PassFiles& files, bool randomFill);
    void showProgress(double passPercent);

    FillWindow& window_;
    std::int32_t written_ = 0; // byte count of the most recent accepted write
    bool runActive_ = false;
    bool passActive_ = false;
    int failedPasses_ = 0;
    int troubledPasses_ = 0;
    WriterProgress* liveWriter_ = nullptr; // the pass's writer, so Stop reaches it at once
    bool rootKnown_ = false;
    std::string root_;
};

// Block size of a block list choice: the item text for 0..6, 65537 for 7 and anything else.
std::int32_t BlockSizeFor(int index, const std::string& itemText);
// Total bar: the pass bar's share of this repetition plus the repetitions already done.
int TotalBarFor(int passBar, int currentRepetition, int repetitions);
// Rounds to the nearest integer, halves to the even neighbour.
long long RoundHalfEven(double value);

} // namespace spylerom::fill
