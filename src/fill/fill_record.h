// The record of what a running pass changes on the disk (its files, the reserves it lifts), kept
// in a small file of the maker's "data" folder so that a run that was killed can be undone at the
// next start of either program. Writing and undoing are here; deciding when is the pass's.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace spylerom::fill {

class FillRecord {
public:
    struct File {
        std::string path;
        bool identified = false; // false: planned, not made yet (or made and not yet identified)
        platform::FileIdentity id;
    };

    // The record of this process; nothing is written before save().
    FillRecord();

    void addReserve(const std::string& token) { reserves_.push_back(token); }
    // A folder of small files of the pattern (the file-record step), ending in the separator.
    void addFolder(const std::string& path) { folders_.push_back(path); }
    void planFile(const std::string& path);
    void identify(const std::string& path, const platform::FileIdentity& id);
    // Replaces the record file as a whole (never a half-written record). False when it could
    // not be written: then the pass must not change the disk.
    bool save(platform::Error& err);
    // The record is removed once everything it names is undone.
    void remove();

    const std::string& path() const { return path_; }
    const std::vector<File>& files() const { return files_; }
    const std::vector<std::string>& reserves() const { return reserves_; }
    const std::vector<std::string>& folders() const { return folders_; }

    // The text of the record file, and back (false for a file that is not a record).
    std::string text() const;
    bool parse(const std::string& text);
    const std::string& owner() const { return owner_; }
    std::int64_t plannedAtNs() const { return plannedAtNs_; }

private:
    std::string path_;
    std::string owner_; // the process identity
    std::int64_t plannedAtNs_ = 0;
    std::vector<std::string> reserves_;
    std::vector<std::string> folders_;
    std::vector<File> files_;
};

// What the clean-up of one abandoned run did, for the log and the user.
struct Recovery {
    std::string recordPath;
    int filesDeleted = 0;
    int reservesRestored = 0;
    std::vector<std::string> filesKept; // names it could not prove to be ours, or not delete
    bool complete = false;              // the record is gone: nothing of that run is left to undo
};

// Undoes every record of a run that no longer lives: deletes the files it can prove it made,
// restores the reserves, and removes the record once done. Logs a Norwegian line for each run.
std::vector<Recovery> RecoverAbandonedFills();

// The Norwegian line that tells the user what one clean-up did.
std::string RecoveryText(const Recovery& recovery);

} // namespace spylerom::fill
