// Starting programs and opening documents, folders and URLs through the shell.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <shellapi.h>

namespace spylerom::platform {

void Win32Platform::launch(const std::string& file, const std::string& parameters,
                           const std::string& folder) {
    const std::wstring target = widen(file);
    const std::wstring arguments = widen(parameters);
    const std::wstring workingFolder = widen(folder);
    // No owner window, the file's default action; whether it started is not examined.
    ShellExecuteW(nullptr, nullptr, target.c_str(), arguments.empty() ? nullptr : arguments.c_str(),
                  workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL);
}

} // namespace spylerom::platform
