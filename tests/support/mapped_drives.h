// A POSIX platform that lists only the drives a test gives it, so no test can pick a real disk
// of the machine from a drive list.
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

private:
    std::string letters_;
};

} // namespace spylerom::test
