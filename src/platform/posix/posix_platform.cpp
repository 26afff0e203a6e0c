// The platform in use, and the POSIX platform's own state.
#include "platform/posix/posix_platform.h"

namespace spylerom::platform {

namespace {
Platform* g_override = nullptr;
} // namespace

Platform& sys() {
    static PosixPlatform defaultPlatform;
    return g_override ? *g_override : defaultPlatform;
}

void setPlatform(Platform* platform) {
    g_override = platform;
}

PosixPlatform::PosixPlatform() : machine_(systemMachineSources()) {}

void PosixPlatform::mapDrive(char letter, const std::string& root) {
    if (root.empty())
        mappedDrives_.erase(letter);
    else
        mappedDrives_[letter] = withTrailingSeparator(root);
}

} // namespace spylerom::platform
