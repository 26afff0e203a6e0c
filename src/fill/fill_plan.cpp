// A pass's plan from what the platform tells of the drive; every query here only reads.
#include "fill/fill_plan.h"

#include "fill/record_fill.h"
#include "fill/reserve_reach.h"
#include "platform/platform.h"

#include <cctype>

namespace spylerom::fill {

using platform::sys;

std::string FileSystemOf(const std::string& root) {
    std::string type = sys().fileSystemType(root);
    platform::MountedVolume volume;
    platform::Error err;
    if (type.empty() && sys().volumeOfPath(root, volume, err))
        for (const char c : volume.type) // the mount table's word where the volume's own is not known
            type += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return type;
}

FillPlan PlanFill(const DriveChoice& drive, const std::string& systemFolder) {
    FillPlan plan;
    plan.driveText = drive.text;
    plan.root = sys().isDriveRoot(drive.root) ? drive.root : std::string();
    if (plan.root.empty())
        return plan;
    plan.fileSystem = FileSystemOf(plan.root);
    platform::DiskSpace space;
    platform::Error err;
    if (sys().diskSpace(plan.root, space, err)) {
        plan.freeMB = space.freeToCaller / 1024 / 1024;
        plan.totalMB = space.total / 1024 / 1024;
    }
    const std::string systemDrive = sys().environment("SYSTEMDRIVE");
    plan.onSystemDrive =
        !systemDrive.empty() && std::toupper(static_cast<unsigned char>(drive.letter())) ==
                                    std::toupper(static_cast<unsigned char>(systemDrive.front()));
    plan.folder = plan.onSystemDrive ? systemFolder : plan.root;
    const std::int64_t count = plan.freeMB / kFillFileMB + 1;
    for (std::int64_t i = 1; i <= count; ++i)
        plan.files.push_back(plan.folder + "spylerom-" + std::to_string(i) + ".tmp");
    if (!ReserveOutOfReach(plan.root).empty())
        plan.reserve = FillPlan::Reserve::OutOfReach;
    else if (ReserveLiftable(plan.root))
        plan.reserve = FillPlan::Reserve::Lifted;
    plan.fileRecordStep = KeepsDataInFileRecords(plan.fileSystem);
    plan.secondsPerPass = (plan.freeMB + kAssumedMBPerSecond - 1) / kAssumedMBPerSecond;
    return plan;
}

} // namespace spylerom::fill
