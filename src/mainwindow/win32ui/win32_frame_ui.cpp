#include "mainwindow/win32ui/win32_frame_ui.h"

#include "mainwindow/win32ui/spylerom_form.h"
#include "platform/win32/win32_platform.h"

namespace spylerom::mainwindow {

void Win32FrameUi::messageBox(const std::string& caption, const std::string& text) {
    const HWND owner = mainWindow_ && IsWindowVisible(mainWindow_->hwnd()) ? mainWindow_->hwnd() : nullptr;
    MessageBoxW(owner, platform::widen(text).c_str(), platform::widen(caption).c_str(), MB_OK);
}

void Win32FrameUi::setWaitCursor(bool wait) {
    if (mainWindow_)
        mainWindow_->setFrameWait(wait); // kept while the mouse moves over the window
    else
        SetCursor(LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

void Win32FrameUi::requestQuit() {
    if (mainWindow_)
        mainWindow_->quitWhenIdle();
    else
        PostQuitMessage(0);
}

} // namespace spylerom::mainwindow
