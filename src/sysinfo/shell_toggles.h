// The six switches of the dialog's hidden "Spesial" tab that turn parts of the Windows shell off
// and on (system keys, task bar, start button, notification area, desktop). The shell's windows
// are reached through ShellWindows; where the system has no such windows (here) none is found
// and every switch acts on no window, without effect and without a message.
#pragma once

#include <cstdint>
#include <string>

namespace spylerom::sysinfo {

// A shell window; kNoWindow when none was found.
using WindowHandle = std::uintptr_t;
inline constexpr WindowHandle kNoWindow = 0;

enum class ShowCommand { Hide, Show, ShowNoActivate };

// The few window-manager calls the switches make (FindWindowW, FindWindowExW, GetWindow,
// EnableWindow, ShowWindow, SystemParametersInfoW). Calls on kNoWindow do nothing.
class ShellWindows {
public:
    virtual ~ShellWindows() = default;
    // The top-level window of a class with no title.
    virtual WindowHandle findWindow(const std::string& className) = 0;
    // The first child of parent of a class.
    virtual WindowHandle findChild(WindowHandle parent, const std::string& className) = 0;
    // The first child of window in z-order (GetWindow GW_CHILD).
    virtual WindowHandle firstChild(WindowHandle window) = 0;
    virtual void enableWindow(WindowHandle window, bool enable) = 0;
    virtual void showWindow(WindowHandle window, ShowCommand command) = 0;
    // Tells the system a screen saver runs (SPI_SETSCREENSAVERRUNNING), which blocks its keys.
    virtual void setScreenSaverRunning(bool running) = 0;
};

// The shell of this system; tests put their own in place, nullptr puts the system's back.
ShellWindows& shellWindows();
void setShellWindows(ShellWindows* windows);

// What a click on each check box does with its new state.
void cWinTastClick(bool ticked);       // "Ikke tillat systemtaster"
void cWinDisTaskClick(bool ticked);    // "Sperr oppgavelinje"
void cWinStartKnappClick(bool ticked); // "Sperr startknappen"
void cWinTrayClick(bool ticked);       // "Skjul systemstatusfelt"
void cWinShowTaskClick(bool ticked);   // "Skjul oppgavelinje"
void cWinDesktopClick(bool ticked);    // "Skjul skrivebord"

} // namespace spylerom::sysinfo
