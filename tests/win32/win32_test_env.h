// Helpers of the Windows suites: the drive letter and image that scripts/test-win32.sh maps,
// and small Win32 file operations that do not go through the code under test.
#pragma once

#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace spylerom::test {

// The drive letter mapped to a loop-mounted image of the test script's, 0 when there is none.
inline char mappedDrive() {
    const char* value = std::getenv("SPYLEROM_WIN32_DRIVE");
    return value && value[0] ? value[0] : 0;
}

// The raw image behind mappedDrive(), as a Windows path (through Z:).
inline std::string mappedImage() {
    const char* value = std::getenv("SPYLEROM_WIN32_IMAGE");
    return value ? value : "";
}

inline const char* kNoMappedDrive =
    "no drive letter mapped to an image; scripts/test-win32.sh maps one as root";

// Writes a file and makes it durable, without the platform layer.
inline bool writeDurable(const std::string& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(platform::widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

inline DWORD attributes(const std::string& path) {
    return GetFileAttributesW(platform::widen(path).c_str());
}

} // namespace spylerom::test
