// The few window services the frame needs (message box, wait cursor, ending the program),
// behind a small interface the window program implements; without one, a console fallback.
#pragma once

#include <functional>
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

// The application's general error report: a "FEIL:" line in the log, then a message box with
// the application's name as its caption.
void ReportGeneralError(const std::string& caption, const std::string& text);
// Runs a handler's work; anything it throws goes to the general error report ("Ukjent feil"
// when it carries no text) and never leaves the handler.
void GuardedHandler(const std::string& caption, const std::function<void()>& work);

} // namespace spylerom::frame
