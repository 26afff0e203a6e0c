#include "support/mapped_drives.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace spylerom::test {

void MappedDrives::map(char letter, const std::string& folder) {
    mapDrive(letter, folder);
    if (letters_.find(letter) == std::string::npos)
        letters_ += letter;
}

void MappedDrives::unmap(char letter) {
    mapDrive(letter, "");
    std::erase(letters_, letter);
}

void MappedDrives::unmapAll() {
    while (!letters_.empty())
        unmap(letters_.front());
}

std::vector<platform::Drive> MappedDrives::drives() const {
    std::vector<platform::Drive> mapped;
    for (const platform::Drive& drive : PosixPlatform::drives())
        if (letters_.find(drive.letter) != std::string::npos)
            mapped.push_back(drive);
    return mapped;
}

namespace {

constexpr unsigned kLoopMajor = 7;

bool onLoopImage(platform::FolderHandle folder) {
    struct stat st {};
    return folder != platform::kInvalidFolder && ::fstat(static_cast<int>(folder), &st) == 0 &&
           major(st.st_dev) == kLoopMajor;
}

} // namespace

platform::JournalWipe MappedDrives::wipeJournal(platform::FolderHandle folder, platform::Error& err) {
    return onLoopImage(folder) ? PosixPlatform::wipeJournal(folder, err) : platform::JournalWipe::None;
}

bool MappedDrives::trimFreeSpace(platform::FolderHandle folder, std::int64_t& bytes, platform::Error& err) {
    if (onLoopImage(folder))
        return PosixPlatform::trimFreeSpace(folder, bytes, err);
    bytes = 0;
    err = platform::errorFromErrno(EOPNOTSUPP);
    return false;
}

bool MappedDrives::relocateMetadata(platform::FolderHandle folder, platform::Error& err) {
    if (onLoopImage(folder))
        return PosixPlatform::relocateMetadata(folder, err);
    err = platform::errorFromErrno(EOPNOTSUPP);
    return false;
}

} // namespace spylerom::test
