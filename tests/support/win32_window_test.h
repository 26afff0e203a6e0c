// Helpers of the tests that drive Win32 windows in-process: the messages waiting for this
// thread handled, and a window's text as UTF-8.
#pragma once

#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <string>

namespace spylerom::test {

// Handles every message waiting for this thread, as the message loop would.
inline void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

inline std::string windowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return platform::narrow(text);
}

} // namespace spylerom::test
