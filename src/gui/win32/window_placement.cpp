#include "gui/win32/window_placement.h"

namespace spylerom::gui::win32 {

RECT WindowPlacement::normalRect() const {
    RECT rect{};
    if (IsZoomed(window_) || IsIconic(window_)) {
        // The rectangle the window returns to. The main window has no task bar of its own
        // to offset it, so its workspace coordinates are those of the screen.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(window_, &placement))
            return placement.rcNormalPosition;
    }
    GetWindowRect(window_, &rect);
    return rect;
}

int WindowPlacement::left() const {
    return normalRect().left;
}
int WindowPlacement::top() const {
    return normalRect().top;
}
int WindowPlacement::width() const {
    const RECT r = normalRect();
    return r.right - r.left;
}
int WindowPlacement::height() const {
    const RECT r = normalRect();
    return r.bottom - r.top;
}

bool WindowPlacement::maximized() const {
    return IsZoomed(window_) || (maximizeOnShow_ && !IsWindowVisible(window_));
}

void WindowPlacement::moveTo(int left, int top, int width, int height) {
    SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowPlacement::setLeft(int value) {
    const RECT r = normalRect();
    moveTo(value, r.top, r.right - r.left, r.bottom - r.top);
}

void WindowPlacement::setTop(int value) {
    const RECT r = normalRect();
    moveTo(r.left, value, r.right - r.left, r.bottom - r.top);
}

void WindowPlacement::setWidth(int value) {
    if (fixedSize_ || value <= 0)
        return;
    const RECT r = normalRect();
    moveTo(r.left, r.top, value, r.bottom - r.top);
}

void WindowPlacement::setHeight(int value) {
    if (fixedSize_ || value <= 0)
        return;
    const RECT r = normalRect();
    moveTo(r.left, r.top, r.right - r.left, value);
}

void WindowPlacement::maximize() {
    if (IsWindowVisible(window_))
        ShowWindow(window_, SW_MAXIMIZE);
    else
        maximizeOnShow_ = true;
}

int WindowPlacement::showCommand() {
    const bool maximize = maximizeOnShow_ && !IsWindowVisible(window_);
    maximizeOnShow_ = false;
    return maximize ? SW_SHOWMAXIMIZED : SW_SHOW;
}

int WindowPlacement::screenWidth() const {
    return GetSystemMetrics(SM_CXSCREEN);
}
int WindowPlacement::screenHeight() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

} // namespace spylerom::gui::win32
