// Whether a fill would leave a held-back pool unwiped, and the texts that say so.
#include "fill/reserve_reach.h"

#include "platform/platform.h"

namespace spylerom::fill {

using platform::sys;

namespace {

bool holdsAPoolBack(const std::string& fileSystem) {
    return fileSystem == "ext4" || fileSystem == "xfs";
}

// What the pool is called, in the log's and the window's words.
std::string poolName(const std::string& fileSystem) {
    return fileSystem == "xfs" ? "reserveområdet til xfs" : "blokkene ext4 holder av (om lag 2 %)";
}

} // namespace

std::string ReserveOutOfReach(const std::string& root) {
    if (root.empty())
        return {};
    const std::string fileSystem = sys().fileSystemType(root);
    if (!holdsAPoolBack(fileSystem))
        return {};
    return ReserveLiftable(root) ? std::string() : fileSystem;
}

bool ReserveLiftable(const std::string& root) {
    platform::Error err;
    const platform::FolderHandle folder = sys().openFillFolder(root, "", err);
    // The platform gives a token only to a process that may change the pool.
    const bool liftable = folder != platform::kInvalidFolder && !sys().writeReserveToken(folder).empty();
    sys().closeFolder(folder);
    return liftable;
}

std::vector<std::string> ReserveNoticeLines(const std::string& fileSystem) {
    if (fileSystem == "xfs")
        return {"Uten administratorrettigheter kan ikke ",
                "reserveområdet til xfs fylles, og slettede ",
                "data der blir liggende.",
                "",
                "Velg \"Spylerom (som administrator)\" i ",
                "menyen for å fylle også det."};
    return {"Uten administratorrettigheter kan ikke ",
            "blokkene ext4 holder av (om lag 2 % av ",
            "disken) fylles, og slettede data der blir ",
            "liggende.",
            "",
            "Velg \"Spylerom (som administrator)\" i ",
            "menyen for å fylle også dem."};
}

std::string ReserveHintLine(const std::string& driveText, const std::string& fileSystem) {
    return "HINT: " + driveText + ": " + poolName(fileSystem) +
           " fylles bare med administratorrettigheter; start \"Spylerom (som administrator)\" fra menyen, "
           "eller spylerom-cli som root";
}

std::string ReserveNoteForConsole(const std::string& root, const std::string& fileSystem) {
    const std::string pool =
        fileSystem == "xfs" ? "the xfs reserve pool" : "the blocks ext4 holds back (about 2 % of the disk)";
    return "without root rights " + pool + " on " + root +
           " cannot be filled, and deleted data in them stays; run spylerom-cli as root (for example "
           "with sudo) to wipe them too";
}

} // namespace spylerom::fill
