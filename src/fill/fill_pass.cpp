// One fill pass: measure, pin the drive and create the temporary files, let the writer fill
// them in turn until the drive is full, a write fails or Stop is pressed, then flush, close and
// delete them. The window is served on a timer meanwhile, whatever the disk does.
#include "fill/fill_engine.h"

#include "fill/fill_random.h"
#include "fill/fill_writer.h"
#include "fill/format_number.h"
#include "fill/record_fill.h"
#include "frame/folders.h"
#include "frame/textfil.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace spylerom::fill {

using frame::WriteLog;
using platform::sys;

namespace {

constexpr std::int64_t kMB = 1024 * 1024;
constexpr std::int64_t kMBPerFile = 4096;

// Free and total MB of the volume at root; a refused query counts as -1 bytes, which is 0 MB.
void measureDrive(const std::string& root, std::int64_t& totalMB, std::int64_t& freeMB) {
    platform::DiskSpace space;
    platform::Error err;
    if (root.empty() || !sys().diskSpace(root, space, err))
        space = platform::DiskSpace{};
    totalMB = space.total / 1024 / 1024;
    freeMB = space.freeToCaller / 1024 / 1024;
}

// The pass that runs now, for a program that ends in the middle of it (exit() from a toolkit
// whose display went away): its writer is stopped and its files cleaned up before the process
// goes.
struct LivePass {
    std::mutex mutex;
    WriterProgress* progress = nullptr;
    FillWriter* writer = nullptr;
    PassFiles* files = nullptr;
    // Logs what the clean-up did and the pass's STOPP line; the log is saved after this hook.
    std::function<void()> logEnd;
};

LivePass& livePass() {
    // Never destroyed: the exit hook that reads it runs among the statics' destructors.
    static LivePass& pass = *new LivePass;
    return pass;
}

extern "C" void cleanUpLivePassAtExit() {
    LivePass& live = livePass();
    const std::lock_guard lock(live.mutex);
    if (live.writer) {
        live.progress->stop = true;
        live.writer->allowCleanUp();
        live.writer->join(); // the writer's own clean-up flushes, closes and deletes the files
        live.files->letGo(); // nothing is left for the record to name
        if (live.logEnd)
            live.logEnd();
    }
}

// Registers the pass that runs for as long as it lives.
class LivePassScope {
public:
    // Registered after the log's own exit hook (the program starts the log first), so it runs
    // before that hook saves the log.
    LivePassScope(WriterProgress& progress, FillWriter& writer, PassFiles& files,
                  std::function<void()> logEnd) {
        static const bool registered = std::atexit(cleanUpLivePassAtExit) == 0;
        (void)registered;
        const std::lock_guard lock(livePass().mutex);
        livePass().progress = &progress;
        livePass().writer = &writer;
        livePass().files = &files;
        livePass().logEnd = std::move(logEnd);
    }
    ~LivePassScope() {
        const std::lock_guard lock(livePass().mutex);
        livePass().progress = nullptr;
        livePass().writer = nullptr;
        livePass().files = nullptr;
        livePass().logEnd = nullptr;
    }
    LivePassScope(const LivePassScope&) = delete;
    LivePassScope& operator=(const LivePassScope&) = delete;
};

} // namespace

long long RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return 0;
    return std::llrint(value); // the default rounding mode rounds halves to even
}

int TotalBarFor(int passBar, int currentRepetition, int repetitions) {
    if (repetitions < 1)
        repetitions = 1;
    const double done = static_cast<double>(currentRepetition - 1) / repetitions * 100.0;
    return passBar / repetitions + static_cast<int>(RoundHalfEven(done));
}

FillEngine::FillEngine(FillWindow& window)
    : window_(window), pattern_(std::make_unique<std::uint8_t[]>(kPatternSize)) {}

FillEngine::~FillEngine() = default;

void FillEngine::log(const std::string& line) {
    WriteLog(line);
    // "FEILNR: <code> <text>" follows the failure it explains.
    if (line.rfind("FEILNR: ", 0) == 0) {
        if (!report_.failures.empty())
            report_.failures.back().code =
                static_cast<std::uint32_t>(std::strtoul(line.c_str() + 8, nullptr, 10));
    } else if (line.rfind("FEIL", 0) == 0) {
        report_.failures.push_back({line, 0});
    }
}

void FillEngine::logLines(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        log(line);
}

// The pass's last line: what it wrote, in how long.
void FillEngine::logStop(const std::string& driveText) {
    const double seconds = state_.ElapsedSeconds;
    const long double speed = seconds > 0 ? state_.BytesWritten / seconds / 1024 : 0;
    log("STOPP: " + driveText + ", " + FormatNumber(state_.BytesWritten / kMB, 100, 0) + " MB på " +
        FormatNumber(seconds, 100, 0) + " sekund, " + FormatNumber(speed, 100, 0) + " KB/sec");
}

void FillEngine::selectDrive(DriveChoice drive) {
    drive_ = std::move(drive);
    StasjonChange(true);
}

const std::string& FillEngine::driveRoot(bool refresh) {
    // Looking a drive up reads the mount table; the write cycles measure the same drive many
    // thousand times a second, so the root is looked up when the drive or the pass changes.
    if (refresh || !rootKnown_) {
        root_ = sys().isDriveRoot(drive_.root) ? drive_.root : std::string();
        rootKnown_ = true;
    }
    return root_;
}

void FillEngine::StasjonChange(bool reset) {
    FillState& s = state_;
    if (reset) {
        const char letter = drive_.letter();
        s.DriveNumber = letter == '\0' ? 0 : static_cast<unsigned char>(letter) - 65 + 1;
        window_.setPassBar(0);
        window_.setTotalBar(0);
        window_.setProgressText("");
    }
    // One unit: a drive number or a size out of range ends the refresh, values set so far stay.
    if (s.DriveNumber < 0 || s.DriveNumber > 255)
        return;
    std::int64_t totalMB = 0;
    std::int64_t freeMB = 0;
    measureDrive(driveRoot(reset), totalMB, freeMB);
    s.TotalMB = totalMB;
    if (s.TotalMB > std::numeric_limits<std::int32_t>::max())
        return;
    const int maximum = static_cast<int>(s.TotalMB);
    s.FreeMB = freeMB;
    const auto used = std::clamp<std::int64_t>(maximum - s.FreeMB, 0, maximum);
    window_.setUsageBar(maximum, static_cast<int>(used));
    window_.setStatusText(std::to_string(s.FreeMB) + " MB ledig av " + std::to_string(s.TotalMB) + " MB");
}

bool FillEngine::openFiles(PassFiles& files, char letter) {
    FillState& s = state_;
    const std::string systemDrive = sys().environment("SYSTEMDRIVE");
    const std::string upper(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    const bool onSystemDrive = !systemDrive.empty() && upper.front() == systemDrive.front();
    const std::string root = root_; // fixed for the pass when it measured the drive
    if (root.empty()) {
        // No such drive: nothing to pin, nothing is made anywhere else instead.
        const std::string name = std::string(1, letter) + ":" + platform::kPathSeparator + "spylerom-1.tmp";
        s.FileNames.push_back(name);
        platform::Error err;
        err.code = platform::kErrorPathNotFound;
        log("FEIL: UNDER OPPRETTELSE AV FILEN " + name);
        log(ErrorNumberLine(err));
        return false;
    }
    const std::string folder = onSystemDrive ? frame::solvarekpath("tmp") : root;

    std::vector<std::string> names;
    for (std::int32_t i = 1; i <= s.FileCount; ++i)
        names.push_back("spylerom-" + std::to_string(i) + ".tmp");
    PassFiles::Refusal refusal;
    if (!files.pin(root, folder, upper, refusal) || !files.plan(names, refusal)) {
        logLines(refusal.lines);
        return false;
    }
    for (const auto& name : names) {
        if (onSystemDrive)
            log("Systemdisken er valgt!");
        const std::string path = folder + name;
        s.FileNames.push_back(path);
        platform::Error err;
        if (!files.create(name, err)) {
            if (err.code == platform::kErrorFileExists)
                // Not a file of ours (an earlier run's were cleaned up at the start): a user's
                // file, or a link to one, is never opened, let alone filled.
                log("FEIL: " + path + " finnes fra før og blir ikke rørt");
            log("FEIL: UNDER OPPRETTELSE AV FILEN " + path);
            log(ErrorNumberLine(err));
            return false;
        }
        log("Oppretter " + path);
    }
    if (!files.commit(refusal)) {
        logLines(refusal.lines);
        return false;
    }
    return true;
}

void FillEngine::showProgress(double passPercent) {
    FillState& s = state_;
    // Free space above the start (another program deleted files, a volume went away and its
    // mount point shows the disk below) would read as a negative share, and more than all
    // space taken as over a hundred.
    passPercent = std::clamp(passPercent, 0.0, 100.0);
    const int passBar = static_cast<int>(std::clamp<long long>(RoundHalfEven(passPercent), 0, 100));
    window_.setPassBar(passBar);
    const int totalBar = std::clamp(TotalBarFor(passBar, s.CurrentRepetition, s.Repetitions), 0, 100);
    window_.setTotalBar(totalBar);
    std::string text =
        FormatNumber(passPercent, 5, 1) + " % ferdig, " + std::to_string(totalBar) + " % av total ";
    if (s.ElapsedSeconds >= 1.0)
        text += FormatNumber(s.BytesWritten / s.ElapsedSeconds / 1024, 8, 0) + " KB/sec";
    window_.setProgressText(text);
}

void FillEngine::refresh(std::int64_t startFreeMB) {
    FillState& s = state_;
    StasjonChange(false);
    double passPercent = 0;
    if (startFreeMB > 0)
        passPercent = 100.0 - static_cast<double>(s.FreeMB) / static_cast<double>(startFreeMB) * 100.0;
    else if (s.WritingStopped)
        passPercent = 100.0; // nothing was free: the pass is done once the drive refuses
    showProgress(passPercent);
    window_.repaintAndProcessEvents();
}

void FillEngine::writeAndCleanUp(PassFiles& files, std::int64_t startFreeMB, bool randomFill) {
    FillState& s = state_;
    const auto blockSize = static_cast<std::size_t>(s.BlockSize);
    const BlockStream::Kind kind =
        randomFill ? BlockStream::Kind::Random : BlockStream::kindOf(pattern_.get(), blockSize);
    std::vector<BlockStream> streams;
    std::vector<platform::FileHandle> handles;
    for (const auto& file : files.files()) {
        handles.push_back(file.handle);
        streams.emplace_back(kind, pattern_.get(), blockSize,
                             [] { return static_cast<std::uint32_t>(sys().performanceCounter()); });
    }

    WriterProgress progress;
    std::vector<std::string> cleanUpLines;
    FillWriter writer(std::move(handles), std::move(streams), progress, [&] { files.finish(cleanUpLines); });
    // A process that ends under the pass (exit() from a toolkit whose display is gone) never
    // comes back here: the exit hook logs what the clean-up did and the STOPP line instead.
    const std::string driveText = choices_.drive.text;
    const LivePassScope live(progress, writer, files, [this, &cleanUpLines, driveText] {
        logLines(cleanUpLines);
        cleanUpLines.clear();
        logStop(driveText); // with the counts of the last refresh
    });
    const std::int64_t startMs = sys().monotonicMilliseconds();
    liveWriter_ = &progress;
    const std::unique_ptr<FillEngine, void (*)(FillEngine*)> forgetWriter(
        this, [](FillEngine* engine) { engine->liveWriter_ = nullptr; });
    if (s.StopRequested)
        progress.stop = true; // stopped before the writes (in the metadata relocation): none begins
    writer.start();

    bool volumeLost = false;
    bool measuredLast = false;
    for (bool done = false; !done;) {
        done = writer.waitDone(kRefreshMs);
        if (measuredLast) {
            window_.repaintAndProcessEvents(); // the clean-up runs: the window is still served
            continue;
        }
        if (!progress.writesEnded && !progress.stop && !files.stillMounted()) {
            // Unmounted or replaced under the pass: the files are still reached through the
            // pinned folder, and are cleaned up there, never on whatever took its place.
            volumeLost = true;
            progress.stop = true;
        }
        const bool ended = progress.writesEnded;
        const std::int64_t nowMs = ended ? progress.writesEndedMs.load() : sys().monotonicMilliseconds();
        s.ElapsedSeconds = static_cast<double>(nowMs - startMs) / 1000.0;
        s.BytesWritten =
            static_cast<long double>(progress.bytesAccepted) +
            static_cast<long double>(progress.writesRefused) * static_cast<long double>(blockSize);
        written_ = static_cast<std::int32_t>(std::min<std::uint32_t>(progress.lastWritten, INT32_MAX));
        if (progress.refused)
            s.WritingStopped = true; // the drive is full, or refuses: the writes are over
        refresh(startFreeMB);
        if (s.WritingStopped)
            progress.stop = true; // Stop, or the end of the writes
        if (ended) {
            // The last measure is taken while the files still hold the space; now they may go.
            window_.setPointer(Pointer::Busy);
            measuredLast = true;
            writer.allowCleanUp();
        }
    }
    writer.join();

    if (volumeLost) {
        log("FEIL: Stasjonen " + choices_.drive.text + " er ikke lenger montert, fyllingen er stoppet");
        s.StopRequested = true;
    }
    if (progress.failed) {
        log("FEIL: UNDER SKRIVING TIL FILEN " + files.files()[progress.failedFile].path);
        log(ErrorNumberLine(progress.error));
        s.StopRequested = true; // a failing disk is not asked again and again
    }
    if (volumeLost || progress.failed || files.failed())
        ++report_.troubledPasses;
    logLines(cleanUpLines);
    // --- File-record step: once the files are gone their space holds the pattern, so a record
    // --- table that grows takes new clusters from there.
    if (!volumeLost && !progress.failed && files.finished()) {
        takeFreeFileRecords(files, randomFill);
        clearStructures(files, randomFill);
    }
    files.letGo();
    if (randomFill)
        FillRandomPattern(
            pattern_.get(),
            kPatternSize); // the buffer holds a random block afterwards, as a pass of single writes left it
}

std::vector<std::uint8_t> FillEngine::patternBytes(std::size_t bytes, bool randomFill) {
    const auto blockSize = static_cast<std::size_t>(std::max<std::int32_t>(state_.BlockSize, 1));
    if (randomFill)
        FillRandomPattern(pattern_.get(), std::min(blockSize, kPatternSize));
    std::vector<std::uint8_t> pattern(bytes);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = pattern_[i % blockSize];
    return pattern;
}

std::function<bool()> FillEngine::stepStopRequested() {
    return [this, asked = std::int64_t{0}]() mutable {
        if (++asked % 256 == 0)
            window_.repaintAndProcessEvents();
        return state_.StopRequested;
    };
}

bool FillEngine::removeStepFiles(PassFiles& files, const RecordFillResult& result,
                                 const std::string& deletingLine, const std::string& failureLine) {
    platform::Error err;
    (void)sys().settleVolume(files.folder(), err); // the step's files reach the disk before they go
    log(deletingLine);
    if (RemoveRecordFiles(files.folder(), result.files, err) == 0 && err.code == platform::kErrorSuccess)
        return true;
    log(failureLine);
    log(ErrorNumberLine(err));
    files.stepFolderGone(false);
    return false;
}

// --- File-record step (fill/record_fill.h). It runs once the big files are deleted: while the
// --- disk still held deleted data, a record table grown by the step kept that data in the part
// --- of its new clusters that no record had been written to yet.
void FillEngine::takeFreeFileRecords(PassFiles& files, bool randomFill) {
    const std::string& folder = files.folderPath();
    FillState& s = state_;
    if (s.StopRequested || folder.empty() || !CanTakeFileRecords(folder))
        return;
    log("Fyller ledige filposter på " + choices_.drive.text);
    // The record files carry the pass's blocks, repeated where a block is shorter than a file.
    const std::vector<std::uint8_t> pattern = patternBytes(kRecordFileBytes, randomFill);
    const std::function<bool()> stopRequested = stepStopRequested();
    // Recorded before it is made: a run killed in the step leaves nothing the next start cannot
    // undo. Without the record the step does not run.
    if (!files.planStepFolder()) {
        log("FEIL: Kan ikke skrive loggen over fyllingen, filpostene fylles ikke");
        ++report_.troubledPasses;
        return;
    }
    const RecordFillResult result = TakeFreeFileRecords(files.folder(), folder, files.mark(), pattern.data(),
                                                        pattern.size(), stopRequested);
    log(std::to_string(result.files) + " filposter fylt");
    if (frame::logState().Verbose)
        log("Filpostene ligger i " + folder + kRecordFolderName +
            (result.tookAll ? ", tabellen over filposter er full" : ", ikke alle ledige filposter er fylt"));
    bool troubled = false;
    if (result.error.code != platform::kErrorSuccess && result.error.code != platform::kErrorDiskFull) {
        log("FEIL: UNDER UTFYLLING AV FILPOSTER I " + folder + kRecordFolderName);
        log(ErrorNumberLine(result.error));
        troubled = true;
    }
    if (result.folderMade &&
        !removeStepFiles(files, result, "Sletter " + std::to_string(result.files) + " filposter",
                         "FEIL UNDER SLETTING AV FILPOSTER I " + folder + kRecordFolderName))
        troubled = true;
    if (troubled)
        ++report_.troubledPasses;
}
// --- End of the file-record step.

void FillEngine::StartknappClick() {
    FillState& s = state_;
    window_.setPointer(Pointer::Busy);
    const std::string driveText = choices_.drive.text;
    log("Valgt stasjon: " + driveText);
    if (driveText.empty()) {
        log("FEIL: Ingen stasjon er valgt, ingenting blir fylt");
        ++report_.failedPasses;
        settstart();
        window_.setPointer(Pointer::Normal);
        return;
    }
    const char letter = driveText.front();

    std::int64_t startFreeMB = 0;
    if (s.DriveNumber < 0 || s.DriveNumber > 255) {
        log("FEIL: UNDER BEREGNING AV DISKSTØRRELSE!");
    } else {
        std::int64_t totalMB = 0;
        measureDrive(driveRoot(true), totalMB, startFreeMB);
    }
    log("Ledig plass på " + driveText + " " + std::to_string(startFreeMB) + "MB");

    s.BlockSize = std::clamp<std::int32_t>(choices_.blockSize, 1, static_cast<std::int32_t>(kPatternSize));

    const bool randomFill = choices_.pattern == Pattern::Tilfeldig;
    if (choices_.pattern == Pattern::Null || choices_.pattern == Pattern::En)
        std::fill(pattern_.get(), pattern_.get() + s.BlockSize,
                  choices_.pattern == Pattern::Null ? std::uint8_t{0x00} : std::uint8_t{0xFF});
    // No choice: whatever the buffer holds.

    s.BytesWritten = 0;
    s.ElapsedSeconds = 0;
    written_ = 0;
    s.FileCount = static_cast<std::int32_t>(startFreeMB / kMBPerFile + 1);
    log("START: " + driveText + ", " + std::to_string(s.FileCount) + " filer, " +
        std::to_string(s.BlockSize) + " bytes blokkstørrelse");

    // What a killed run left behind goes first, so its names are free and its reserve is back.
    RecoverAbandonedFills();
    s.FileNames.clear();
    {
        PassFiles files;
        passActive_ = true;
        struct PassActive {
            bool& flag;
            ~PassActive() { flag = false; }
        } active{passActive_};
        if (!openFiles(files, letter)) {
            ++report_.failedPasses;
            settstart();
            window_.setPointer(Pointer::Normal);
            return; // files made before the failure are deleted with `files`
        }
        window_.setPointer(Pointer::Background);
        files.trimBeforeDelete(choices_.trim);
        timedStep("flytting", [&] { relocateMetadata(files); });
        writeAndCleanUp(files, startFreeMB, randomFill);
    }

    logStop(driveText);
    window_.setWaitNoticeVisible(false);
    window_.setPointer(Pointer::Normal);
}

} // namespace spylerom::fill
