// btrfs: the metadata block groups relocated before the space fill, or, without the right to,
// their free space filled with small files of the pattern after the deletes.
#include "fill/fill_engine.h"

#include "fill/format_number.h"
#include "fill/record_fill.h"
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace spylerom::fill {

using platform::sys;

namespace {

constexpr std::int64_t kKB = 1024;
constexpr std::int64_t kMB = 1024 * 1024;

// The balance runs on a worker of its own, since the kernel's call blocks until every group has
// moved, while the pass serves the window. A cancel blocks too (until the group being moved is
// done), so it gets a thread of its own as well. However the step is left, the balance is
// cancelled and both threads joined before the pass's folder goes.
class Relocation {
public:
    explicit Relocation(platform::FolderHandle volume) : volume_(volume), ended_(endedPromise_.get_future()) {
        worker_ = std::thread([this] {
            try {
                ok_ = sys().relocateMetadata(volume_, error_);
            } catch (...) {
                ok_ = false;
                error_.code = platform::kErrorNotEnoughMemory; // nothing there throws but memory
            }
            endedPromise_.set_value();
        });
    }
    ~Relocation() {
        while (!waitEnded(FillEngine::kRefreshMs))
            cancel();
        worker_.join();
        if (canceller_.joinable())
            canceller_.join();
    }
    Relocation(const Relocation&) = delete;
    Relocation& operator=(const Relocation&) = delete;

    // True once the kernel's call has returned; waits up to milliseconds for it.
    bool waitEnded(int milliseconds) {
        return ended_.wait_for(std::chrono::milliseconds(milliseconds)) == std::future_status::ready;
    }
    // Asks the kernel to cancel; asked again while the balance goes on, since a cancel that came
    // before the kernel had begun it found nothing to cancel.
    void cancel() {
        if (canceller_.joinable() && !cancelReturned_)
            return;
        if (canceller_.joinable())
            canceller_.join();
        cancelReturned_ = false;
        canceller_ = std::thread([this] {
            sys().cancelRelocation(volume_);
            cancelReturned_ = true;
        });
    }
    // What the kernel's call gave; valid once waitEnded said so.
    bool ok() const { return ok_; }
    const platform::Error& error() const { return error_; }

private:
    platform::FolderHandle volume_;
    bool ok_ = false;
    platform::Error error_;
    std::promise<void> endedPromise_;
    std::future<void> ended_;
    std::thread worker_;
    std::thread canceller_;
    std::atomic<bool> cancelReturned_{false};
};

std::string relocationText(const platform::RelocationProgress& progress) {
    if (progress.expected == 0)
        return "Flytter metadata ...";
    return "Flytter metadata: " + std::to_string(progress.completed) + " av " +
           std::to_string(progress.expected) + " blokkgrupper";
}

// Why the metadata stayed where it was, to begin a line with.
std::string refusalText(platform::ErrorCode code, const std::string& drive) {
    switch (code) {
    case platform::kErrorAccessDenied:
        return "Bare en administrator kan flytte metadataene på " + drive;
    case platform::kErrorDiskFull:
        return "Det var ikke plass til å flytte alle metadataene på " + drive;
    case platform::kErrorSharingViolation:
        return "En annen endring av " + drive + " pågikk, så metadataene ble ikke flyttet";
    default:
        return "Metadataene på " + drive + " kunne ikke flyttes (feil " + std::to_string(code) + ")";
    }
}

} // namespace

void FillEngine::relocateMetadata(PassFiles& files) {
    metadataLeft_ = 0;
    FillState& s = state_;
    const std::string& drive = choices_.drive.text;
    platform::DiskSpace space;
    platform::Error err;
    // Asking needs no right: a volume without metadata groups (not btrfs) ends the step here.
    if (s.StopRequested || !sys().metadataSpace(files.folder(), space, err))
        return;
    // Recorded before it begins, so the next start can tell a balance this run left paused.
    if (!files.planRelocation()) {
        log("FEIL: Kan ikke skrive loggen over fyllingen, metadataene på " + drive + " flyttes ikke");
        ++report_.troubledPasses;
        return;
    }
    log("Flytter metadataene på " + drive + " til nye blokkgrupper (" +
        FormatNumber(static_cast<double>(space.total - space.freeToCaller) / kMB, 100, 1) + " MB i bruk)");
    const std::int64_t startMs = sys().monotonicMilliseconds();
    bool ok = false;
    {
        Relocation relocation(files.folder());
        while (!relocation.waitEnded(kRefreshMs)) {
            platform::RelocationProgress progress;
            if (!sys().relocationProgress(files.folder(), progress))
                progress = {}; // not begun yet, or just ended
            window_.setProgressText(relocationText(progress));
            window_.repaintAndProcessEvents();
            if (s.StopRequested)
                relocation.cancel();
        }
        ok = relocation.ok();
        err = relocation.error();
    }
    window_.setProgressText("");
    const double seconds = static_cast<double>(sys().monotonicMilliseconds() - startMs) / 1000.0;
    if (ok) {
        log("Metadataene på " + drive + " er flyttet på " + FormatNumber(seconds, 100, 2) + " sekund");
        return;
    }
    switch (err.code) {
    case platform::kErrorCancelled:
        log("Flyttingen av metadataene på " + drive + " er avbrutt");
        return; // Stop: the groups moved so far stay moved, the pass cleans up
    case platform::kErrorNotSupported:
        return; // a volume whose groups the kernel does not move
    case platform::kErrorAccessDenied:
        log(refusalText(err.code, drive) + ", ledig metadataplass fylles i stedet etter slettingen");
        break;
    case platform::kErrorDiskFull:
    case platform::kErrorSharingViolation:
        // The groups moved before the space ran out stay moved; the fill goes on.
        log("HINT: " + refusalText(err.code, drive) +
            ", ledig metadataplass fylles i stedet etter slettingen");
        break;
    default:
        log("FEIL: UNDER FLYTTING AV METADATAENE PÅ " + drive);
        log(ErrorNumberLine(err));
        ++report_.troubledPasses;
        break;
    }
    metadataLeft_ = err.code;
}

void FillEngine::fillMetadataSpace(PassFiles& files, bool randomFill) {
    const platform::ErrorCode why = metadataLeft_;
    metadataLeft_ = 0;
    const std::string& drive = choices_.drive.text;
    const std::string stepFolder = files.folderPath() + kRecordFolderName;
    platform::DiskSpace start;
    platform::Error err;
    if (why == 0 || state_.StopRequested || !sys().metadataSpace(files.folder(), start, err))
        return;
    // Recorded before it is made, as the file-record step's; without the record it does not run.
    if (!files.planStepFolder()) {
        log("FEIL: Kan ikke skrive loggen over fyllingen, metadataplassen fylles ikke");
        ++report_.troubledPasses;
        return;
    }
    log("Fyller ledig metadataplass på " + drive);
    const std::vector<std::uint8_t> pattern = patternBytes(kInlineFileBytes, randomFill);
    platform::DiskSpace last = start;
    const RecordFillResult result = MakeStepFiles(
        files.folder(), files.mark(), pattern.data(), pattern.size(),
        [&](platform::Error& checkErr) {
            platform::DiskSpace now;
            if (!sys().metadataSpace(files.folder(), now, checkErr))
                return StepGauge::Failed;
            last = now;
            // btrfs takes a new metadata group only once the ones it has are full: the free
            // space that held the old leaves is all taken.
            return now.total > start.total ? StepGauge::Full : StepGauge::More;
        },
        stepStopRequested());
    log(std::to_string(result.files) + " små filer laget i metadataplassen");
    bool troubled = false;
    if (result.error.code != platform::kErrorSuccess && result.error.code != platform::kErrorDiskFull) {
        log("FEIL: UNDER UTFYLLING AV METADATAPLASS I " + stepFolder);
        log(ErrorNumberLine(result.error));
        troubled = true;
    }
    // What the files left free of the groups the step began with: there old leaves may remain.
    const std::int64_t used = last.total - last.freeToCaller;
    const std::int64_t left = std::max<std::int64_t>(0, std::min(start.total, last.total) - used);
    if (result.folderMade &&
        !removeStepFiles(files, result, "Sletter " + std::to_string(result.files) + " små filer",
                         "FEIL UNDER SLETTING AV SMÅ FILER I " + stepFolder))
        troubled = true;
    log("HINT: " + refusalText(why, drive) + ": ledig metadataplass er fylt med " +
        std::to_string(result.files) + " små filer i stedet, " + std::to_string(left / kKB) + " KB av " +
        std::to_string(start.total / kKB) + " KB metadataplass ble ikke nådd" +
        (state_.StopRequested ? " (stoppet)" : ""));
    if (troubled)
        ++report_.troubledPasses;
}

} // namespace spylerom::fill
