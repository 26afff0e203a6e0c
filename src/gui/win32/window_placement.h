// The placement facility's view of a Win32 top-level window: its outer rectangle on the
// screen, its maximized state and the primary screen's size. Storing and correcting the values
// is the frame's business.
#pragma once

#include "frame/placement.h"

#include <windows.h>

namespace spylerom::gui::win32 {

class WindowPlacement : public frame::PlacementWindow {
public:
    // fixedSize: the window keeps the size it was made with (a fixed border); a stored size
    // changes nothing, only the position and the maximized state take effect.
    explicit WindowPlacement(HWND window = nullptr, bool fixedSize = false)
        : window_(window), fixedSize_(fixedSize) {}
    void setWindow(HWND window) { window_ = window; }

    int left() const override;
    int top() const override;
    int width() const override;
    int height() const override;
    // True once maximized, or asked to be while hidden (the window shows maximized then).
    bool maximized() const override;
    void setLeft(int value) override;
    void setTop(int value) override;
    void setWidth(int value) override;
    void setHeight(int value) override;
    // Maximizes a shown window; a hidden one stays hidden and shows maximized (showCommand).
    void maximize() override;
    int screenWidth() const override;
    int screenHeight() const override;

    // The ShowWindow command that shows the window as placed: maximized once after maximize()
    // on a hidden window, otherwise as it stands (a window the user restored stays restored).
    int showCommand();

private:
    // The outer rectangle in normal (not maximized) state, in screen coordinates.
    RECT normalRect() const;
    void moveTo(int left, int top, int width, int height);

    HWND window_;
    bool fixedSize_;
    bool maximizeOnShow_ = false;
};

} // namespace spylerom::gui::win32
