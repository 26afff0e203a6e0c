// What a fill pass over a drive would do, found out without writing anything: the drive, its
// file system and free space, the files it would make, and the steps around the fill (the
// held-back pool, the file-record step, the journal checkpoint), with an estimate of the time.
// spylerom-cli --dry-run shows it.
#pragma once

#include "fill/fill_choices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spylerom::fill {

// The file size a pass gives each of its files, in MB: one file per started share of the space.
inline constexpr std::int64_t kFillFileMB = 4096;
// The rate an estimate assumes; the real one is the device's, which a dry run does not measure.
inline constexpr std::int64_t kAssumedMBPerSecond = 200;

struct FillPlan {
    enum class Reserve {
        None,       // the file system holds no pool back from ordinary writes
        Lifted,     // the pass lifts it and puts it back afterwards
        OutOfReach, // it holds one back, and this process may not lift it
    };

    std::string driveText;  // as the drive list shows it
    std::string root;       // the mount point, ending in the separator; empty: no such drive
    std::string fileSystem; // "ext4", "xfs", "ntfs", ...; empty when unknown
    std::int64_t freeMB = 0;
    std::int64_t totalMB = 0;
    bool onSystemDrive = false; // the files go to the maker's tmp folder, not the root
    std::string folder;         // where the files go (the system drive's: as given by the caller)
    std::vector<std::string> files;
    Reserve reserve = Reserve::None;
    bool fileRecordStep = false;   // the file system keeps small files inside its file records
    bool journalCheckpoint = true; // the journal is written home before the deletes
    std::int64_t secondsPerPass = 0;
};

// The file-system type of the volume at root, in lower case ("ext4", "btrfs", "ntfs", ...), as
// the volume or else the mount table names it; empty when unknown.
std::string FileSystemOf(const std::string& root);

// The plan of a pass over a drive. systemFolder names where the files of the system drive go;
// it is given by the caller, since looking it up would create it.
FillPlan PlanFill(const DriveChoice& drive, const std::string& systemFolder);

} // namespace spylerom::fill
