// xfs: the internal log written around with transactions of the pass's own, so no copy of a
// deleted file's name or inode stays in it.
#include "fill/fill_engine.h"

#include "fill/log_fill.h"
#include "fill/record_fill.h"
#include "frame/textfil.h"
#include "platform/platform.h"

namespace spylerom::fill {

using platform::sys;

namespace {

constexpr std::int64_t kMB = 1024 * 1024;

// Megabytes, rounded up: a log written over in part never reads as "0 MB".
std::string megabytes(std::int64_t bytes) {
    return std::to_string((bytes + kMB - 1) / kMB);
}

} // namespace

void FillEngine::overwriteInternalLog(PassFiles& files, bool randomFill) {
    const std::int64_t logBytes = sys().internalLogBytes(files.folder());
    if (state_.StopRequested || logBytes <= 0)
        return;
    const std::string& drive = choices_.drive.text;
    const std::string stepFolder = files.folderPath() + kRecordFolderName;
    log("Skriver over loggen på " + drive);
    // Recorded before it is made, as the file-record step's: a run killed in the step leaves
    // nothing the next start cannot undo.
    if (!files.planStepFolder()) {
        log("FEIL: Kan ikke skrive loggen over fyllingen, loggen på " + drive + " skrives ikke over");
        ++report_.troubledPasses;
        return;
    }
    const std::vector<std::uint8_t> value = patternBytes(kLogValueBytes, randomFill);
    // Each file takes a few milliseconds: Stop is looked for before every one.
    const auto stopRequested = [&] {
        window_.repaintAndProcessEvents();
        return state_.StopRequested;
    };
    const LogFillResult result =
        WriteLogAround(files.folder(), files.mark(), logBytes, value.data(), stopRequested);

    log("Skrev " + megabytes(result.writtenBytes) + " MB over loggen på " + drive + " (loggen er " +
        megabytes(logBytes) + " MB)");
    bool troubled = false;
    const bool full = result.error.code == platform::kErrorDiskFull;
    if (result.error.code != platform::kErrorSuccess && !full) {
        log("FEIL: UNDER OVERSKRIVING AV LOGGEN I " + stepFolder);
        log(ErrorNumberLine(result.error));
        troubled = true;
    }
    if (!result.complete)
        log("HINT: Loggen på " + drive +
            " er ikke skrevet helt over og kan fortsatt ha navn på slettede filer" +
            (full                   ? ": disken ble full"
             : state_.StopRequested ? ": fyllingen ble stoppet"
                                    : ""));
    if (frame::logState().Verbose)
        log(std::to_string(result.files) + " filer i " + stepFolder + " skrev loggen over");
    if (result.folderMade && !result.removed) {
        log("FEIL UNDER SLETTING AV FILENE I " + stepFolder);
        log(ErrorNumberLine(result.removeError));
        troubled = true;
        files.stepFolderGone(false);
    }
    if (troubled)
        ++report_.troubledPasses;
}

} // namespace spylerom::fill
