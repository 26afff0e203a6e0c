// The few window services the frame needs (message box, wait cursor, ending the program),
// behind a small interface the window program implements; without one, a console fallback.
#pragma once

#include <string>

namespace spylerom::frame {

class FrameUi {
public:
    virtual ~FrameUi() = default;
    // A message box with one OK button, owned by the application.
    virtual void messageBox(const std::string& caption, const std::string& text);
    // The wait cursor on (IDC_WAIT) or the default cursor back.
    virtual void setWaitCursor(bool wait);
    // Ask the application to end once the current message has been handled.
    virtual void requestQuit();
};

FrameUi& frameUi();
void setFrameUi(FrameUi* ui); // nullptr puts the console fallback back

} // namespace spylerom::frame
