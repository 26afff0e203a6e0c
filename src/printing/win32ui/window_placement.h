// The placement facility's view of a top-level Win32 window: outer position and size, maximized
// state and the primary screen. Storing and correcting the values is the frame's business.
#pragma once

#include "frame/placement.h"

#include <windows.h>

namespace spylerom::printing {

class WindowPlacement : public frame::PlacementWindow {
public:
    explicit WindowPlacement(HWND window) : window_(window) {}

    int left() const override;
    int top() const override;
    int width() const override;
    int height() const override;
    bool maximized() const override;
    void setLeft(int value) override;
    void setTop(int value) override;
    void setWidth(int value) override;
    void setHeight(int value) override;
    // A hidden window is maximized when it is next shown (see showCommand), so that restoring
    // the placement never shows it.
    void maximize() override;
    int screenWidth() const override;
    int screenHeight() const override;

    // SW_SHOWMAXIMIZED once after maximize() on a hidden window, SW_SHOW otherwise.
    int showCommand();

private:
    RECT outer() const;
    void moveTo(const RECT& rect);

    HWND window_;
    bool maximizeOnShow_ = false;
};

} // namespace spylerom::printing
