#include "sysinfo/shell_toggles.h"

namespace spylerom::sysinfo {

namespace {

// A system without the Windows shell: no window is ever found, so nothing is switched.
class NoShellWindows : public ShellWindows {
public:
    WindowHandle findWindow(const std::string&) override { return kNoWindow; }
    WindowHandle findChild(WindowHandle, const std::string&) override { return kNoWindow; }
    WindowHandle firstChild(WindowHandle) override { return kNoWindow; }
    void enableWindow(WindowHandle, bool) override {}
    void showWindow(WindowHandle, ShowCommand) override {}
    void setScreenSaverRunning(bool) override {}
};

NoShellWindows g_noShell;
ShellWindows* g_shell = &g_noShell;

WindowHandle taskbar() {
    return g_shell->findWindow("Shell_TrayWnd");
}

} // namespace

ShellWindows& shellWindows() {
    return *g_shell;
}

void setShellWindows(ShellWindows* windows) {
    g_shell = windows ? windows : &g_noShell;
}

void cWinTastClick(bool ticked) {
    g_shell->setScreenSaverRunning(ticked);
}

void cWinDisTaskClick(bool ticked) {
    g_shell->enableWindow(taskbar(), !ticked);
}

void cWinStartKnappClick(bool ticked) {
    g_shell->enableWindow(g_shell->findChild(taskbar(), "Button"), !ticked);
}

void cWinTrayClick(bool ticked) {
    const WindowHandle rebar = g_shell->findChild(taskbar(), "ReBarWindow32");
    g_shell->showWindow(g_shell->findChild(rebar, "ToolBarwindow32"),
                        ticked ? ShowCommand::Hide : ShowCommand::Show);
}

void cWinShowTaskClick(bool ticked) {
    g_shell->showWindow(taskbar(), ticked ? ShowCommand::Hide : ShowCommand::ShowNoActivate);
}

void cWinDesktopClick(bool ticked) {
    const WindowHandle desktop = g_shell->firstChild(g_shell->findWindow("ProgMan"));
    g_shell->showWindow(desktop, ticked ? ShowCommand::Hide : ShowCommand::Show);
}

} // namespace spylerom::sysinfo
