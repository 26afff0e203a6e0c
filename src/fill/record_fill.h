// The small-file steps of a fill: NTFS keeps a small file's data and its name inside the file's
// record, btrfs inside its metadata tree leaves, where no free-space fill reaches. Small files of
// the pattern, made in a marked folder of their own once the big files are gone, take that space
// until the structure shows it is full; then they go too. Logging is the caller's.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace spylerom::fill {

// The folder of the record files, inside the fill folder.
inline constexpr const char* kRecordFolderName = "spylerom-poster";
// Data bytes of one record file: with its name and attributes it stays inside a 1 KiB record,
// and covers the part of the record where a deleted small file kept its data.
inline constexpr std::size_t kRecordFileBytes = 600;
// The largest small file any step makes (a record file, an xfs log step's file, a btrfs inline
// file): a clean-up after a kill deletes nothing larger from the steps' folder.
inline constexpr std::int64_t kMaxStepFileBytes = 4096;
// Records taken at most in one step, should a table never show that it grows.
inline constexpr std::int64_t kMaxRecordFiles = 4'000'000;

// Data bytes of one small file of the btrfs metadata step: btrfs keeps a file of at most
// max_inline bytes (2048 unless the volume is mounted otherwise) inline in a tree leaf, so each
// such file covers that much of the free metadata space with the pattern.
inline constexpr std::size_t kInlineFileBytes = 2048;
static_assert(kInlineFileBytes <= kMaxStepFileBytes);

struct RecordFillResult {
    // The volume keeps no file data in its records, or does not show its table's growth.
    bool skipped = false;
    bool folderMade = false; // the step's folder exists (RemoveRecordFiles takes it away)
    std::int64_t files = 0;  // record files made (they stay until RemoveRecordFiles)
    bool tookAll = false;    // the table began to grow: no free record was left untaken
    platform::Error error;   // what ended the step early (code 0 when nothing did)
};

// Whether a file system (as Platform::fileSystemType names it) keeps small files' data in its
// file records.
bool KeepsDataInFileRecords(const std::string& fileSystemType);

// Whether the step can run on the volume that holds folder: it keeps data in its records and
// shows when its table of records grows (Platform::fileRecordGauge).
bool CanTakeFileRecords(const std::string& folder);

// Makes the folder kRecordFolderName in the pinned fill folder `fill` (whose path is `folder`,
// ending in the separator), sets the pass's `mark` on it, and makes files of `recordBytes` bytes
// of `pattern` in it, one by one, until the volume's record gauge shows that the table takes new
// records, stopRequested() answers true, or a file cannot be made (a full disk among others). An
// existing entry of that name is not used (code 183): it is not ours to fill. Skipped where
// CanTakeFileRecords says no.
RecordFillResult TakeFreeFileRecords(platform::FolderHandle fill, const std::string& folder,
                                     const std::string& mark, const std::uint8_t* pattern,
                                     std::size_t recordBytes, const std::function<bool()>& stopRequested);

// What a step learns after each file it made: whether the structure it fills is full now.
enum class StepGauge { More, Full, Failed };
// Asked after each file; Failed with err when the structure could not be asked.
using StepCheck = std::function<StepGauge(platform::Error& err)>;

// The loop of every small-file step: makes the folder kRecordFolderName in the pinned fill folder
// `fill`, sets `mark` on it, and makes files "<n>.tmp" of `bytes` bytes of `pattern` in it, one by
// one, until check() answers Full (tookAll) or Failed, stopRequested() answers true, or a file
// cannot be made (a full disk among others). An existing entry of that name is not used (code
// 183): it is not ours to fill.
RecordFillResult MakeStepFiles(platform::FolderHandle fill, const std::string& mark,
                               const std::uint8_t* pattern, std::size_t bytes, const StepCheck& check,
                               const std::function<bool()>& stopRequested);

// Deletes the files the step made in the pinned fill folder (names "<n>.tmp", n = 1..files) and
// then their folder. Returns the number of files that could not be deleted; err holds the first
// failure.
std::int64_t RemoveRecordFiles(platform::FolderHandle fill, std::int64_t files, platform::Error& err);

// --- The steps' folder, shared by every step that makes small files after the deletes. ---

// The steps' folder below the fill folder (for PinnedFolder), ending in the separator.
std::string StepFolderBelow();
// The name of a step's n-th file: short, so a small file leaves the most room to its data.
std::string StepFileName(std::int64_t n);
// Closes a step's file after its filling: true when the filling went well (ok) and the close
// too; err keeps the first failure.
bool CloseStepFile(platform::FileHandle file, bool ok, platform::Error& err);
// Makes the steps' folder new in the pinned fill folder (an existing entry of that name is not
// used: code 183) and sets the pass's mark on it. made tells whether the folder exists now (and
// must go again), also when the step cannot go on.
bool MakeStepFolder(platform::FolderHandle fill, const std::string& mark, bool& made, platform::Error& err);
// Deletes the step files first..last (none when last < first), then the steps' folder. Returns
// the number of files that could not be deleted; err holds the first failure, or the folder's.
std::int64_t RemoveStepFiles(platform::FolderHandle fill, std::int64_t first, std::int64_t last,
                             platform::Error& err);

} // namespace spylerom::fill
