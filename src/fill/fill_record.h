// The record of what a running pass changes on the disk (its files, the file-record step's
// folder, the reserves it lifts), kept where only its own account can write, so that a run that
// was killed can be undone at the next start of either program. Writing, reading and undoing are
// here; deciding when is the pass's. A record only ever names the pass's own kinds of things
// (fill files, the step's folder) in one fill folder of one volume, and undoing proves each of
// them the pass's own before it deletes it.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spylerom::fill {

// Records larger than this are no record of ours (one line a file: a pass makes one file per
// 4 GiB of free space).
inline constexpr std::int64_t kMaxRecordBytes = 4 * 1024 * 1024;

// Whether name is one a pass gives its files: "spylerom-<n>.tmp".
bool IsFillFileName(const std::string& name);

class FillRecord {
public:
    struct File {
        std::string name;        // in the fill folder
        bool identified = false; // false: planned, not made yet (or made and not yet identified)
        bool marked = false;     // the file carries the pass's mark
        platform::FileIdentity id;
    };

    // A new record with a mark of its own; nothing is written before save().
    FillRecord();

    // Where the pass works: the drive's root, its volume and the fill folder below the root
    // (empty, or names ending in the separator).
    void setPlace(const std::string& driveRoot, std::uint64_t volume, const std::string& folderBelowRoot);
    void planFile(const std::string& name);
    void identify(const std::string& name, const platform::FileIdentity& id, bool marked);
    void addReserve(const std::string& token) { reserves_.push_back(token); }
    // The folder of the steps' small files (record_fill.h), planned before it is made.
    void planStepFolder() { stepFolder_ = true; }
    // A relocation of the volume's metadata (btrfs), planned before it begins.
    void planRelocation() { relocation_ = true; }

    // Replaces the record file as a whole (never a half-written record), in the account's own
    // record folder. False when it could not be written: then the pass must not change the disk.
    [[nodiscard]] bool save(platform::Error& err);
    // The record is removed once everything it names is undone.
    void remove();

    // The pass's mark: set on what it makes, and the record file's name.
    const std::string& mark() const { return mark_; }
    // Empty until the first save found the record folder.
    const std::string& path() const { return path_; }
    const std::string& driveRoot() const { return driveRoot_; }
    std::uint64_t volume() const { return volume_; }
    const std::string& folderBelowRoot() const { return folder_; }
    const std::vector<File>& files() const { return files_; }
    const std::vector<std::string>& reserves() const { return reserves_; }
    bool stepFolder() const { return stepFolder_; }
    bool relocation() const { return relocation_; }

    // The text of the record file, and back (false for a text that is not a whole, valid record:
    // one that names anything but the pass's own kinds of things proves nothing).
    std::string text() const;
    [[nodiscard]] bool parse(const std::string& text);

private:
    std::string mark_;
    std::string path_;
    std::string process_; // who wrote it, for a reader of the file
    std::string driveRoot_;
    std::uint64_t volume_ = 0;
    std::string folder_;
    std::vector<std::string> reserves_;
    std::vector<File> files_;
    bool stepFolder_ = false;
    bool relocation_ = false;
};

// What the clean-up of one abandoned run did, for the log and the user.
struct Recovery {
    std::string recordPath;
    int filesDeleted = 0;
    int reservesRestored = 0;           // restores that happened
    bool relocationPaused = false;      // the run's relocation waits, paused, on the volume
    std::vector<std::string> filesKept; // names it could not prove to be the run's, or not delete
    bool complete = false;              // the record is gone: nothing of that run is left to undo
    std::string hint; // not empty: the record (or its folder) was left alone, and this says why
};

// Undoes every record of a run that no longer lives (its drive is not locked): deletes what it
// can prove the run made, restores the reserves, and removes the record once done. Records it
// may not trust are left alone and named in a "HINT:" line. Logs a Norwegian line for each run.
std::vector<Recovery> RecoverAbandonedFills();

// The Norwegian line that tells the user what one clean-up did.
std::string RecoveryText(const Recovery& recovery);

} // namespace spylerom::fill
