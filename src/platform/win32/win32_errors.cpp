// Win32 error codes with the system's own message text.
#include "platform/win32/win32_platform.h"

#include <windows.h>

namespace spylerom::platform {

Error errorFromWin32(std::uint32_t code) {
    Error e;
    e.code = code;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length > 0 && buffer) {
        std::wstring_view text(buffer, length);
        // The system ends its messages with a line end (and sometimes a blank before it).
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
            text.remove_suffix(1);
        e.message = narrow(text);
    }
    if (buffer)
        LocalFree(buffer);
    return e;
}

Error lastError() {
    return errorFromWin32(GetLastError());
}

} // namespace spylerom::platform
