// The frame's window services in the Win32 window program: message boxes, the wait cursor and
// ending the message loop. When to use them is the frame's business.
#pragma once

#include "frame/frame_ui.h"

namespace spylerom::mainwindow {

class TSpyleRomForm;

class Win32FrameUi : public frame::FrameUi {
public:
    // A modal box with the caption, the text and one OK button, over the main window when
    // there is one.
    void messageBox(const std::string& caption, const std::string& text) override;
    void setWaitCursor(bool wait) override;
    // Ends the message loop; a fill that runs is stopped and cleaned up first.
    void requestQuit() override;

    void setMainWindow(TSpyleRomForm* form) { mainWindow_ = form; }

private:
    TSpyleRomForm* mainWindow_ = nullptr;
};

} // namespace spylerom::mainwindow
