// The platform in use on Windows.
#include "platform/win32/win32_platform.h"

namespace spylerom::platform {

namespace {
Platform* g_override = nullptr;
} // namespace

Platform& sys() {
    static Win32Platform defaultPlatform;
    return g_override ? *g_override : defaultPlatform;
}

void setPlatform(Platform* platform) {
    g_override = platform;
}

Win32Platform::Win32Platform() = default;

void Win32Platform::mapDrive(char letter, const std::string& root) {
    if (root.empty())
        mappedDrives_.erase(letter);
    else
        mappedDrives_[letter] = withTrailingSeparator(fullPath(root));
}

} // namespace spylerom::platform
