// The files of one fill pass and everything else the pass changes on the disk: the pinned fill
// folder, the drive lock, the lifted reserves and the crash record. One owner for all of it, so
// that every way out of a pass, an exception included, flushes, closes and deletes the files and
// puts the rest back. It reports what it did as log lines; writing them is the caller's.
#pragma once

#include "fill/fill_record.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spylerom::fill {

class PassFiles {
public:
    struct File {
        std::string name; // in the folder
        std::string path; // folder and name, for the log
        platform::FileHandle handle = platform::kInvalidFile;
        platform::FileIdentity id;
        bool marked = false;             // carries the pass's mark
        std::size_t directAlignment = 0; // 0: buffered writes
    };

    // What went wrong when the pass could not set up; its log lines are ready in `lines`.
    struct Refusal {
        std::vector<std::string> lines;
    };

    PassFiles() = default;
    ~PassFiles();
    PassFiles(const PassFiles&) = delete;
    PassFiles& operator=(const PassFiles&) = delete;

    // Locks the drive at driveRoot and pins folder, which must lie below it on its volume and be
    // reached without a link. False with the refusal's lines when another fill holds the drive
    // or the folder is not on it.
    [[nodiscard]] bool pin(const std::string& driveRoot, const std::string& folder,
                           const std::string& driveLetter, Refusal& refusal);
    // Writes the record of the files the pass is about to make (names in the pinned folder).
    [[nodiscard]] bool plan(const std::vector<std::string>& names, Refusal& refusal);
    // Makes the next planned file new; an existing entry of that name is never opened.
    [[nodiscard]] bool create(const std::string& name, platform::Error& err);
    // Records the identities of the files made, then lifts the drive's write reserve.
    [[nodiscard]] bool commit(Refusal& refusal);

    std::vector<File>& files() { return files_; }
    const std::string& folderPath() const { return folderPath_; }
    platform::FolderHandle folder() const { return folder_; }
    // The pass's mark, set on everything it makes.
    const std::string& mark() const { return record_.mark(); }
    bool stillMounted() const;

    // Flushes and closes every file, writes the volume's journal home, deletes the files (in the
    // pinned folder, so never on another volume), puts the reserves back and removes the record.
    // Appends the log lines of each step, failures with their code and text. Runs once; safe on
    // any thread but the caller's own log.
    void finish(std::vector<std::string>& lines);
    bool finished() const { return finished_; }
    // The folder of a step that runs after finish() (the file records) goes into the record
    // first (false when it could not: then the step must not run), and tells whether it is gone
    // again; the drive stays locked until the pass lets go.
    [[nodiscard]] bool planStepFolder();
    void stepFolderGone(bool gone);
    // A relocation of the volume's metadata goes into the record before it begins (false when it
    // could not: then it must not begin).
    [[nodiscard]] bool planRelocation();
    // Removes the record when nothing it names is left, and unlocks the drive (the destructor
    // does it too).
    void letGo();
    // Whether a flush, close or delete failed in finish().
    bool failed() const { return failed_; }
    // Whether finish() hands each file's space to the device before its delete (where the volume
    // trims file by file), and what that gave back or the first refusal.
    void trimBeforeDelete(bool on) { trim_ = on; }
    std::int64_t trimmedBytes() const { return trimmedBytes_; }
    const platform::Error& trimError() const { return trimError_; }

private:
    void release();

    platform::FolderHandle lock_ = platform::kInvalidFolder;
    platform::FolderHandle root_ = platform::kInvalidFolder;
    platform::FolderHandle folder_ = platform::kInvalidFolder;
    std::string folderPath_;
    std::vector<File> files_;
    std::vector<std::string> reserveTokens_;
    FillRecord record_;
    bool recorded_ = false;
    bool finished_ = false;
    bool allGone_ = false;
    bool failed_ = false;
    bool trim_ = false;
    std::int64_t trimmedBytes_ = 0;
    platform::Error trimError_;
};

// "FEILNR: " lines: the code and the table's text for 1..216, the system's own above.
std::string ErrorNumberLine(const platform::Error& err);
// The same "<code> <text>" without the line's head, for a line that names a failure in passing.
std::string ErrorCodeText(const platform::Error& err);

} // namespace spylerom::fill
