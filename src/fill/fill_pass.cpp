// One fill pass: measure, create the temporary files, write the pattern into all of them in
// turn until the drive is full or Stop is pressed, then flush, close and delete them.
#include "fill/fill_engine.h"

#include "fill/fill_random.h"
#include "fill/format_number.h"
#include "fill/io_error_texts.h"
#include "fill/record_fill.h"
#include "frame/folders.h"
#include "frame/textfil.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
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

// The "FEILNR: " text of a code: the table's for 1..216, the system's own above.
std::string errorText(const platform::Error& err) {
    return err.code >= 1 && err.code <= 216 ? IoErrorTexts(err.code) : err.message;
}

// Lifts a file system's write reserve for one scope.
class ReserveLift {
public:
    explicit ReserveLift(const std::string& folder) : token_(sys().writeReserveToken(folder)) {
        if (!token_.empty() && !sys().liftWriteReserve(token_))
            token_.clear(); // refused: nothing to put back
    }
    ~ReserveLift() {
        if (!token_.empty())
            sys().restoreWriteReserve(token_);
    }
    ReserveLift(const ReserveLift&) = delete;
    ReserveLift& operator=(const ReserveLift&) = delete;

private:
    std::string token_;
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

std::int32_t BlockSizeFor(int index, const std::string& itemText) {
    if (index < 0 || index > 6)
        return static_cast<std::int32_t>(kPatternSize);
    try {
        return static_cast<std::int32_t>(std::stol(itemText));
    } catch (...) {
        return static_cast<std::int32_t>(kPatternSize);
    }
}

const std::string& FillEngine::driveRoot(bool refresh) {
    // Looking a drive up reads the mount table; the write cycles measure the same drive many
    // thousand times a second, so the root is looked up when the drive or the pass changes.
    if (refresh || !rootKnown_) {
        root_ = sys().driveRootOfItem(window_.driveText());
        rootKnown_ = true;
    }
    return root_;
}

struct FillEngine::PassFiles {
    std::vector<platform::FileHandle> handles; // handles[i - 1] belongs to FileNames[i - 1]
    std::string driveText;                     // as the pass logs it
    bool randomFill = false;
    std::string recordFolder;     // where the record step made its files
    std::int64_t recordFiles = 0; // and how many
};

// --- File-record step (fill/record_fill.h). It runs once the big files are deleted: their
// --- space then holds the pattern, and the record table, should it grow, takes its new clusters
// --- from there (while the disk still held deleted data, a table grown by one step kept that
// --- data in the part of the new clusters no record had been written to yet).
void FillEngine::takeFreeFileRecords(PassFiles& files) {
    FillState& s = fillState();
    if (s.FileNames.empty() || s.StopRequested)
        return;
    const std::string folder = platform::folderOf(s.FileNames.front());
    if (!CanTakeFileRecords(folder))
        return;
    WriteLog("Fyller ledige filposter på " + files.driveText);
    // The record files carry the pass's blocks, repeated where a block is shorter than a file.
    const auto blockSize = static_cast<std::size_t>(std::max<std::int32_t>(s.BlockSize, 1));
    if (files.randomFill)
        FillRandomPrefix(blockSize);
    std::vector<std::uint8_t> pattern(kRecordFileBytes);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = s.PatternBuffer[i % blockSize];
    // Stop reaches the pass through the window's message processing, now and then.
    std::int64_t asked = 0;
    const auto stopRequested = [&] {
        if (++asked % 256 == 0)
            window_.repaintAndProcessEvents();
        return s.StopRequested;
    };
    const RecordFillResult result =
        TakeFreeFileRecords(folder, pattern.data(), pattern.size(), stopRequested);
    if (result.folderMade) {
        files.recordFolder = folder;
        files.recordFiles = result.files;
    }
    WriteLog(std::to_string(result.files) + " filposter fylt");
    if (frame::logState().Verbose)
        WriteLog(
            "Filpostene ligger i " + folder + kRecordFolderName +
            (result.tookAll ? ", tabellen over filposter er full" : ", ikke alle ledige filposter er fylt"));
    if (result.error.code != platform::kErrorSuccess && result.error.code != platform::kErrorDiskFull) {
        WriteLog("FEIL: UNDER UTFYLLING AV FILPOSTER I " + folder + kRecordFolderName);
        WriteLog("FEILNR: " + std::to_string(result.error.code) + " " + errorText(result.error));
    }
}

void FillEngine::removeRecordFiles(PassFiles& files) {
    if (files.recordFolder.empty())
        return;
    platform::Error settleErr;
    (void)sys().settleVolume(files.recordFolder, settleErr); // the records reach the disk first
    WriteLog("Sletter " + std::to_string(files.recordFiles) + " filposter");
    platform::Error err;
    const std::int64_t left = RemoveRecordFiles(files.recordFolder, files.recordFiles, err);
    if (left > 0 || err.code != platform::kErrorSuccess) {
        WriteLog("FEIL UNDER SLETTING AV FILPOSTER I " + files.recordFolder + kRecordFolderName);
        WriteLog("FEILNR: " + std::to_string(err.code) + " " + errorText(err));
    }
    files.recordFolder.clear();
    files.recordFiles = 0;
}
// --- End of the file-record step.

void FillEngine::StasjonChange(bool reset) {
    FillState& s = fillState();
    if (reset) {
        const std::string text = window_.driveText();
        s.DriveNumber = text.empty() ? 0 : static_cast<unsigned char>(text.front()) - 65 + 1;
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

bool FillEngine::createFiles(PassFiles& files, char letter) {
    FillState& s = fillState();
    const std::string systemDrive = sys().environment("SYSTEMDRIVE");
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const bool onSystemDrive = !systemDrive.empty() && upper == systemDrive.front();
    const std::string driveRoot = root_; // fixed for the pass when it measured the drive
    const char rootLetter = driveRoot.empty() ? 0 : sys().driveOfPath(driveRoot);

    for (std::int32_t i = 1; i <= s.FileCount; ++i) {
        std::string folder;
        if (onSystemDrive) {
            WriteLog("Systemdisken er valgt!");
            folder = frame::solvarekpath("tmp");
        } else {
            folder = driveRoot.empty() ? std::string(1, letter) + ":" + platform::kPathSeparator : driveRoot;
        }
        const std::string name = folder + "spylerom-" + std::to_string(i) + ".tmp";
        s.FileNames.push_back(name);

        platform::Error err;
        platform::FileHandle handle = platform::kInvalidFile;
        if (driveRoot.empty()) {
            err.code = platform::kErrorPathNotFound; // no such drive
        } else if (rootLetter == 0 || sys().driveOfPath(folder) != rootLetter) {
            // The folder is not on the chosen drive (a tmp folder on another disk, or a mount
            // point whose volume is gone): filling it would wipe the wrong disk.
            WriteLog("FEIL: Mappen " + folder + " ligger ikke på stasjon " + std::string(1, upper) +
                     ":, ingen filer er laget");
            return false;
        } else {
            handle = sys().createFillFile(name, err);
        }
        if (handle == platform::kInvalidFile) {
            WriteLog("FEIL: UNDER OPPRETTELSE AV FILEN " + name);
            WriteLog("FEILNR: " + std::to_string(err.code) + " " + errorText(err));
            return false;
        }
        files.handles.push_back(handle);
        WriteLog("Oppretter " + name);
    }
    return true;
}

void FillEngine::showProgress(double passPercent) {
    FillState& s = fillState();
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

void FillEngine::writeCycles(PassFiles& files, std::int64_t startFreeMB, bool randomFill) {
    FillState& s = fillState();
    const auto blockSize = static_cast<std::size_t>(s.BlockSize);
    const std::int64_t startMs = sys().monotonicMilliseconds();
    for (;;) {
        for (const platform::FileHandle handle : files.handles) {
            if (randomFill)
                FillRandomPrefix(blockSize);
            std::size_t written = 0;
            platform::Error err;
            const bool accepted = sys().writeFile(handle, s.PatternBuffer.data(), blockSize, written, err);
            s.BytesWritten += static_cast<long double>(blockSize);
            if (accepted)
                written_ = static_cast<std::int32_t>(written);
            else
                s.WritingStopped = true; // the drive is full, or refuses: this cycle is the last
        }
        s.ElapsedSeconds = static_cast<double>(sys().monotonicMilliseconds() - startMs) / 1000.0;
        StasjonChange(false);
        double passPercent = 0;
        if (startFreeMB > 0)
            passPercent = 100.0 - static_cast<double>(s.FreeMB) / static_cast<double>(startFreeMB) * 100.0;
        else if (s.WritingStopped)
            passPercent = 100.0; // nothing was free: the pass is done once the drive refuses
        showProgress(passPercent);
        window_.repaintAndProcessEvents();
        if (written_ < s.BlockSize || s.WritingStopped)
            break;
    }
}

void FillEngine::closeAndDelete(PassFiles& files) {
    FillState& s = fillState();
    for (std::size_t i = 0; i < files.handles.size(); ++i) {
        // The data must reach the device before the name goes, or its blocks may never be written.
        platform::Error err;
        bool flushed = sys().flushFile(files.handles[i], err);
        // With the xfs pool lifted the very last pages may find no block to go to: the disk is
        // full, which is what the fill is for, and every block it has was written.
        if (!flushed && err.code == platform::kErrorDiskFull)
            flushed = true;
        const bool closed = sys().closeFile(files.handles[i], err);
        if (!flushed || !closed)
            WriteLog("FEIL UNDER LUKKING AV FIL");
        else
            WriteLog("Lukker fil nr " + std::to_string(i + 1));
    }
    // --- Settle the volume: the journal writes its blocks home before the files go, or a block
    // --- freed with them (an ext4 extent-tree block) keeps what it held before the fill.
    if (!s.FileNames.empty()) {
        platform::Error err;
        if (!sys().settleVolume(platform::folderOf(s.FileNames.front()), err)) {
            WriteLog("FEIL UNDER SKRIVING AV DISKENS JOURNAL");
            WriteLog("FEILNR: " + std::to_string(err.code) + " " + errorText(err));
        }
    }
    for (std::size_t i = 0; i < files.handles.size(); ++i) {
        WriteLog("Sletter fil nr. " + std::to_string(i + 1));
        platform::Error err;
        if (!sys().deleteFile(s.FileNames[i], err))
            sys().removeFolder(s.FileNames[i], err); // a link to a folder at the name goes as a link
    }
    files.handles.clear();
    // --- File-record step, on the space the big files gave back.
    takeFreeFileRecords(files);
    removeRecordFiles(files);
}

void FillEngine::StartknappClick() {
    FillState& s = fillState();
    window_.setPointer(Pointer::Busy);
    const std::string driveText = window_.driveText();
    WriteLog("Valgt stasjon: " + driveText);
    if (driveText.empty()) {
        WriteLog("FEIL: Ingen stasjon er valgt, ingenting blir fylt");
        ++failedPasses_;
        settstart();
        window_.setPointer(Pointer::Normal);
        return;
    }
    const char letter = driveText.front();

    std::int64_t startFreeMB = 0;
    if (s.DriveNumber < 0 || s.DriveNumber > 255) {
        WriteLog("FEIL: UNDER BEREGNING AV DISKSTØRRELSE!");
    } else {
        std::int64_t totalMB = 0;
        measureDrive(driveRoot(true), totalMB, startFreeMB);
    }
    WriteLog("Ledig plass på " + driveText + " " + std::to_string(startFreeMB) + "MB");

    const int blockIndex = window_.blockIndex();
    s.BlockSize = BlockSizeFor(blockIndex, blockIndex >= 0 ? window_.blockText(blockIndex) : std::string());
    s.BlockSize = std::clamp<std::int32_t>(s.BlockSize, 1, static_cast<std::int32_t>(kPatternSize));

    bool randomFill = false;
    const auto patternEnd = s.PatternBuffer.begin() + s.BlockSize;
    switch (window_.fillIndex()) {
    case 0:
        std::fill(s.PatternBuffer.begin(), patternEnd, std::uint8_t{0x00});
        break;
    case 1:
        std::fill(s.PatternBuffer.begin(), patternEnd, std::uint8_t{0xFF});
        break;
    case 2:
        randomFill = true;
        break;
    default:
        break; // no choice: whatever the buffer holds
    }

    s.BytesWritten = 0;
    s.ElapsedSeconds = 0;
    written_ = 0;
    s.FileCount = static_cast<std::int32_t>(startFreeMB / kMBPerFile + 1);
    WriteLog("START: " + driveText + ", " + std::to_string(s.FileCount) + " filer, " +
             std::to_string(s.BlockSize) + " bytes blokkstørrelse");

    s.FileNames.clear();
    PassFiles files;
    files.driveText = driveText;
    files.randomFill = randomFill;
    passActive_ = true;
    if (!createFiles(files, letter)) {
        // Files made before the failure are not left behind on the drive.
        for (std::size_t i = 0; i < files.handles.size(); ++i) {
            platform::Error err;
            sys().closeFile(files.handles[i], err);
            sys().deleteFile(s.FileNames[i], err);
        }
        passActive_ = false;
        ++failedPasses_;
        settstart();
        window_.setPointer(Pointer::Normal);
        return;
    }

    window_.setPointer(Pointer::Background);
    {
        // Held back blocks are given to the fill, and held back again once its files are gone.
        const ReserveLift reserve(platform::folderOf(s.FileNames.front()));
        writeCycles(files, startFreeMB, randomFill);
        window_.setPointer(Pointer::Busy);
        closeAndDelete(files);
    }
    passActive_ = false;

    const double seconds = s.ElapsedSeconds;
    const long double speed = seconds > 0 ? s.BytesWritten / seconds / 1024 : 0;
    WriteLog("STOPP: " + driveText + ", " + FormatNumber(s.BytesWritten / kMB, 100, 0) + " MB på " +
             FormatNumber(seconds, 100, 0) + " sekund, " + FormatNumber(speed, 100, 0) + " KB/sec");
    window_.setWaitNoticeVisible(false);
    window_.setPointer(Pointer::Normal);
}

} // namespace spylerom::fill
