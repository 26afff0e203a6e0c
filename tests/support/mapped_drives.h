// A POSIX platform that lists only the drives a test gives it, so no test can pick a real disk
// of the machine from a drive list. The steps that act on a whole volume (its journal, its trim,
// its metadata) act only on a loop-mounted image: a drive mapped to a plain folder lies on the
// machine's own disk.
#pragma once

#include "platform/posix/posix_platform.h"

#include <string>
#include <vector>

namespace spylerom::test {

class MappedDrives : public platform::PosixPlatform {
public:
    // Gives letter to folder; only letters given this way are drives.
    void map(char letter, const std::string& folder);
    // Takes the letter away again: the drive is gone.
    void unmap(char letter);
    // Takes every letter away.
    void unmapAll();
    std::vector<platform::Drive> drives() const override;

    platform::JournalWipe wipeJournal(platform::FolderHandle folder, platform::Error& err) override;
    bool trimFreeSpace(platform::FolderHandle folder, std::int64_t& bytes, platform::Error& err) override;
    bool relocateMetadata(platform::FolderHandle folder, platform::Error& err) override;

private:
    std::string letters_;
};

} // namespace spylerom::test
