#include "dry_run.h"

#include "fill/fill_plan.h"
#include "platform/platform.h"

#include <string_view>

namespace spylerom::cli {

namespace {

const char* const kPatterns[] = {"null (zero bytes)", "en (all bits set)", "tilfeldig (random bytes)"};

// "1 h 05 min", "4 min 07 s" or "12 s".
std::string duration(std::int64_t seconds) {
    const std::int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const auto two = [](std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (h > 0)
        return std::to_string(h) + " h " + two(m) + " min";
    if (m > 0)
        return std::to_string(m) + " min " + two(s) + " s";
    return std::to_string(s) + " s";
}

std::string reserveStep(const fill::FillPlan& plan) {
    const std::string pool =
        plan.fileSystem == "xfs" ? "the xfs reserve pool" : "ext4's pool of reserved clusters";
    switch (plan.reserve) {
    case fill::FillPlan::Reserve::Lifted:
        return "lift " + pool + " for the pass and put it back afterwards (this process may change it)";
    case fill::FillPlan::Reserve::OutOfReach:
        return "not lifted: " + pool +
               " can be changed by root only, so the blocks it holds back stay unwiped";
    case fill::FillPlan::Reserve::None:
        break;
    }
    return "none to lift: " + (plan.fileSystem.empty() ? std::string("the file system") : plan.fileSystem) +
           " holds no blocks back from ordinary writes";
}

} // namespace

int printDryRun(const CliOptions& options, const fill::DriveChoice& drive, std::FILE* out) {
    // Where the system drive's files go without looking the folder up, which would create it.
    const std::string sep(1, platform::kPathSeparator);
    const std::string systemFolder = "$APPDATA" + sep + "Solvarek" + sep + "tmp" + sep;
    const fill::FillPlan plan = fill::PlanFill(drive, systemFolder);
    std::string text = "spylerom-cli: dry run, nothing is written\n";
    text += "drive: " + plan.driveText + "\n";
    text += "mount point: " + plan.root + "\n";
    text += "file system: " + (plan.fileSystem.empty() ? std::string("unknown") : plan.fileSystem) + "\n";
    text += "free space: " + std::to_string(plan.freeMB) + " MB of " + std::to_string(plan.totalMB) + " MB\n";
    text += "pattern: " + std::string(kPatterns[static_cast<std::size_t>(options.pattern)]) +
            ", block size " + std::string(options.block.text) + ", " + std::to_string(options.repetitions) +
            (options.repetitions == 1 ? " pass" : " passes") + "\n";
    text +=
        "files (" + std::to_string(plan.files.size()) + ", one per started " +
        std::to_string(fill::kFillFileMB) + " MB of free space" +
        (plan.onSystemDrive ? ", in the maker's tmp folder on the system drive" : ", in the drive's root") +
        "):\n";
    for (const std::string& file : plan.files)
        text += "  " + file + "\n";
    text += "steps of each pass:\n";
    int step = 0;
    const auto add = [&](std::string_view line) {
        text += "  " + std::to_string(++step) + ". " + std::string(line) + "\n";
    };
    add("clean up what a killed run left behind, lock the drive against a second fill, and record the "
        "pass's files and reserves before they change, so a killed run is undone at the next start");
    add("reserve: " + reserveStep(plan));
    if (plan.fileSystem == "btrfs")
        add("metadata: btrfs's metadata and system block groups are relocated first (as root), so the fill "
            "takes the old ones with the names and small files they kept; without the right, small files of "
            "the pattern take the free metadata space after the deletes");
    add("write the pattern into the files in turn until the drive takes no more, then the last free blocks, "
        "flushed to the device");
    if (plan.fileRecordStep)
        add("file records: small files in a folder spylerom-poster take every free file record of " +
            plan.fileSystem + ", which keeps a small file's data inside its record");
    else
        add("file records: not needed, " +
            (plan.fileSystem.empty() ? std::string("the file system") : plan.fileSystem) +
            " keeps no file data in its records");
    add(std::string("journal checkpoint: the file system's journal is written home before the files are "
                    "deleted (syncfs") +
        (plan.fileSystem == "ext4" ? ", and EXT4_IOC_CHECKPOINT on ext4)" : ")"));
    add("flush, close and delete the files, and put the reserve back");
    if (plan.fileSystem == "xfs")
        add("log: xfs's internal log is written over with the pass's own transactions after the deletes, so "
            "it keeps no name or inode of a deleted file");
    if (plan.fileSystem == "ext4")
        add("journal: zeroed after the deletes (EXT4_IOC_CHECKPOINT with ZEROOUT, as root), so it keeps no "
            "copy of an old directory block");
    add(options.noTrim
            ? std::string("trim: off (--no-trim), the freed space is not handed back to the device")
            : std::string("trim: the freed space goes back to the device (FITRIM, as root), unless "
                          "TrimEtterFylling=0 in solvarek.ini"));
    text += "estimated time: about " + duration(plan.secondsPerPass * options.repetitions) + " (" +
            std::to_string(options.repetitions) + " x " + duration(plan.secondsPerPass) + " at an assumed " +
            std::to_string(fill::kAssumedMBPerSecond) + " MB/s; the device decides the real rate)\n";
    std::fputs(text.c_str(), out);
    std::fflush(out);
    return 0;
}

} // namespace spylerom::cli
