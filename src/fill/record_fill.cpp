// The small-file steps: files of the pattern made until a structure of the volume is full, and
// deleted again. The files are made and deleted relative to their pinned folder, never by path.
#include "fill/record_fill.h"

#include "fill/pinned_folder.h"

#include <algorithm>

namespace spylerom::fill {

using platform::sys;

namespace {

// One record file of the pattern; false with err when it cannot be made whole. made tells
// whether the name exists (and so must go with the others).
bool makeRecordFile(const PinnedFolder& folder, const std::string& name, const std::uint8_t* pattern,
                    std::size_t bytes, bool& made, platform::Error& err) {
    platform::FileIdentity id;
    const platform::FileHandle file = sys().createFillFile(folder.get(), name, id, err);
    made = file != platform::kInvalidFile;
    if (!made)
        return false;
    std::size_t written = 0;
    bool ok = sys().writeFile(file, pattern, bytes, written, err);
    if (ok && written < bytes) {
        err.code = platform::kErrorDiskFull;
        ok = false;
    }
    return CloseStepFile(file, ok, err);
}

} // namespace

bool KeepsDataInFileRecords(const std::string& fileSystemType) {
    return fileSystemType == "ntfs";
}

bool CanTakeFileRecords(const std::string& folder) {
    std::int64_t gauge = 0;
    platform::Error err;
    return KeepsDataInFileRecords(sys().fileSystemType(folder)) && sys().fileRecordGauge(folder, gauge, err);
}

RecordFillResult MakeStepFiles(platform::FolderHandle fill, const std::string& mark,
                               const std::uint8_t* pattern, std::size_t bytes, const StepCheck& check,
                               const std::function<bool()>& stopRequested) {
    RecordFillResult result;
    if (!MakeStepFolder(fill, mark, result.folderMade, result.error))
        return result;
    const PinnedFolder pinned(fill, StepFolderBelow(), result.error);
    if (!pinned.ok())
        return result;
    while (result.files < kMaxRecordFiles && !(stopRequested && stopRequested())) {
        bool made = false;
        const bool whole =
            makeRecordFile(pinned, StepFileName(result.files + 1), pattern, bytes, made, result.error);
        if (made)
            ++result.files; // a name that was made but not filled still goes with the others
        if (!whole)
            break;
        const StepGauge gauge = check(result.error);
        if (gauge == StepGauge::Full)
            result.tookAll = true;
        if (gauge != StepGauge::More)
            break;
    }
    return result;
}

RecordFillResult TakeFreeFileRecords(platform::FolderHandle fill, const std::string& folder,
                                     const std::string& mark, const std::uint8_t* pattern,
                                     std::size_t recordBytes, const std::function<bool()>& stopRequested) {
    std::int64_t gauge = 0;
    platform::Error err;
    // (Wine, for one, calls every folder NTFS and has no table to show.)
    if (!KeepsDataInFileRecords(sys().fileSystemType(folder)) || !sys().fileRecordGauge(folder, gauge, err)) {
        RecordFillResult skipped;
        skipped.skipped = true;
        return skipped;
    }
    return MakeStepFiles(
        fill, mark, pattern, recordBytes,
        [&](platform::Error& checkErr) {
            std::int64_t now = 0;
            if (!sys().fileRecordGauge(folder, now, checkErr))
                return StepGauge::Failed;
            if (now > gauge)
                return StepGauge::Full; // the table grew: this file needed a new record
            gauge = now;
            return StepGauge::More;
        },
        stopRequested);
}

std::int64_t RemoveRecordFiles(platform::FolderHandle fill, std::int64_t files, platform::Error& err) {
    return RemoveStepFiles(fill, 1, files, err);
}

std::string StepFolderBelow() {
    return std::string(kRecordFolderName) + platform::kPathSeparator;
}

std::string StepFileName(std::int64_t n) {
    return std::to_string(n) + ".tmp";
}

bool CloseStepFile(platform::FileHandle file, bool ok, platform::Error& err) {
    platform::Error closeErr;
    if (!sys().closeFile(file, closeErr) && ok) {
        err = closeErr;
        return false;
    }
    return ok;
}

bool MakeStepFolder(platform::FolderHandle fill, const std::string& mark, bool& made, platform::Error& err) {
    made = sys().createFillFolder(fill, kRecordFolderName, err);
    if (!made)
        return false;
    const PinnedFolder pinned(fill, StepFolderBelow(), err);
    if (!pinned.ok())
        return false;
    // The mark proves the folder the pass's own to a clean-up after a kill (ntfs-3g shows every
    // file as everyone's, so no mode can).
    platform::Error markErr;
    (void)sys().setMark(pinned.get(), mark, markErr);
    return true;
}

std::int64_t RemoveStepFiles(platform::FolderHandle fill, std::int64_t first, std::int64_t last,
                             platform::Error& err) {
    std::int64_t failed = 0;
    {
        const PinnedFolder pinned(fill, StepFolderBelow(), err);
        if (!pinned.ok())
            return std::max<std::int64_t>(last - first + 1, 0);
        for (std::int64_t n = first; n <= last; ++n) {
            platform::Error one;
            if (!sys().deleteFillFile(pinned.get(), StepFileName(n), one) && failed++ == 0)
                err = one;
        }
    }
    platform::Error one;
    if (!sys().removeFillFolder(fill, kRecordFolderName, one) && failed == 0 &&
        err.code == platform::kErrorSuccess)
        err = one;
    return failed;
}

} // namespace spylerom::fill
