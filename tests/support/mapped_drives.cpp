#include "support/mapped_drives.h"

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

} // namespace spylerom::test
