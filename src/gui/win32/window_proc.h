// What the program's window procedures share: the object a window was created for, kept with
// the window, and no exception leaving a procedure (one that crosses the system's frames ends
// the program). What each window does with a message is its own.
#pragma once

#include "frame/textfil.h"

#include <windows.h>

#include <exception>
#include <string>

namespace spylerom::gui::win32 {

// The CreateWindowExW parameter, kept with the window from WM_NCCREATE on; nullptr before it,
// and once forgetOwner has run.
template <typename Owner> Owner* ownerOf(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// From now on the window's messages reach no object (its last one, WM_NCDESTROY, included).
inline void forgetOwner(HWND hwnd) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
}

// Runs a window's handler for one message. An exception it lets out is logged as
// "FEIL: <what>" and the message counts as handled (0).
template <typename Handler> LRESULT guardedMessage(const char* where, Handler&& handler) noexcept {
    try {
        return handler();
    } catch (const std::exception& e) {
        try {
            frame::WriteLog(std::string("FEIL: ") + e.what());
        } catch (...) { // no memory even for the log line: the message is dropped all the same
        }
    } catch (...) {
        try {
            frame::WriteLog(std::string("FEIL: ukjent feil i ") + where);
        } catch (...) {
        }
    }
    return 0;
}

} // namespace spylerom::gui::win32
