#include "printing/win32ui/window_placement.h"

#include <algorithm>

namespace spylerom::printing {

// The normal (not maximized) outer rectangle, so that a maximized window stores where it returns to.
RECT WindowPlacement::outer() const {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (IsZoomed(window_) && GetWindowPlacement(window_, &placement))
        return placement.rcNormalPosition;
    RECT rect{};
    GetWindowRect(window_, &rect);
    return rect;
}

void WindowPlacement::moveTo(const RECT& rect) {
    SetWindowPos(window_, nullptr, rect.left, rect.top, std::max(1L, rect.right - rect.left),
                 std::max(1L, rect.bottom - rect.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

int WindowPlacement::left() const {
    return outer().left;
}
int WindowPlacement::top() const {
    return outer().top;
}
int WindowPlacement::width() const {
    const RECT r = outer();
    return r.right - r.left;
}
int WindowPlacement::height() const {
    const RECT r = outer();
    return r.bottom - r.top;
}
bool WindowPlacement::maximized() const {
    return IsZoomed(window_) || maximizeOnShow_;
}

void WindowPlacement::setLeft(int value) {
    RECT r = outer();
    OffsetRect(&r, value - r.left, 0);
    moveTo(r);
}
void WindowPlacement::setTop(int value) {
    RECT r = outer();
    OffsetRect(&r, 0, value - r.top);
    moveTo(r);
}
void WindowPlacement::setWidth(int value) {
    RECT r = outer();
    r.right = r.left + value;
    moveTo(r);
}
void WindowPlacement::setHeight(int value) {
    RECT r = outer();
    r.bottom = r.top + value;
    moveTo(r);
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

} // namespace spylerom::printing
