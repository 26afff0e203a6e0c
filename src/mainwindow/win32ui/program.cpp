// The Win32 window program's order of start-up and shut-down.
#include "mainwindow/win32ui/program.h"

#include "frame/textfil.h"
#include "mainwindow/program_order.h"
#include "mainwindow/win32ui/win32_frame_ui.h"
#include "platform/win32/win32_platform.h"
#include "sysinfo/win32ui/sysinfo_form.h"

#include <commctrl.h>
#include <objbase.h>

#include <atomic>

namespace spylerom::mainwindow {

namespace {

// The main window while the message loop runs, for the console's close, which comes on a
// thread of its own; and the moment the program has ended, which that thread waits for.
std::atomic<HWND> g_mainWindow{nullptr};
HANDLE g_ended = nullptr;

// Ctrl+C, Ctrl+Break, the console closed, the user logging off or the system shutting down:
// the main window is closed as a user would, which stops a fill and waits for its clean-up.
BOOL WINAPI consoleRequest(DWORD event) {
    const HWND window = g_mainWindow.load();
    if (!window)
        return FALSE;
    PostMessageW(window, WM_CLOSE, 0, 0);
    // The process ends when this returns from one of these: the program ends first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_ended, 20000);
    return TRUE;
}

void createOtherWindows(ProgramWindows& windows) {
    const HWND owner = windows.SpyleRomForm->hwnd();
    windows.FTPform = std::make_unique<ftp::FtpWindow>(owner);
    windows.InputForm = std::make_unique<ftp::InputWindow>(owner);
    windows.PrintForm = std::make_unique<printing::TPrintForm>();
}

void destroyWindows(ProgramWindows& windows) {
    windows.PrintForm.reset();
    windows.InputForm.reset();
    windows.FTPform.reset();
    windows.SpyleRomForm.reset();
}

// Tells the user what the clean-up of killed fills did.
void showRecoveryNotice(HWND owner, const std::vector<fill::Recovery>& recovered) {
    const std::string text = recoveryNoticeText(recovered);
    if (!text.empty())
        MessageBoxW(owner, platform::widen(text).c_str(), L"Spylerom", MB_OK | MB_ICONINFORMATION);
}

int messageLoop(TSpyleRomForm& form) {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        if (!form.translate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int runProgram(const std::vector<std::string>& arguments, const ProgramHooks& hooks) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The picture decoder and the shell's links are COM objects of this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Win32FrameUi frameUi;
    frame::setFrameUi(&frameUi);
    g_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    const auto recovered = startProgram(arguments);
    ProgramWindows windows;
    windows.SpyleRomForm = std::make_unique<TSpyleRomForm>();
    TSpyleRomForm& form = *windows.SpyleRomForm;
    int exitCode = 1;
    bool ended = false;
    if (form.hwnd()) {
        frameUi.setMainWindow(&form);
        // Closing the main window ends the program, whatever other windows are open.
        form.onClosed = [] { PostQuitMessage(0); };
        form.onSystemInformation = [](HWND) { sysinfo::VisSystemInfo(); }; // over the active window
        // The system ends the process once the message returns: the program ends before.
        form.onSessionEnd = [&] {
            if (!form.closed())
                SendMessageW(form.hwnd(), WM_CLOSE, 0, 0);
            frameUi.setMainWindow(nullptr);
            endProgram();
            ended = true;
        };
        createOtherWindows(windows);
        form.show();
        showRecoveryNotice(form.hwnd(), recovered);
        g_mainWindow = form.hwnd();
        SetConsoleCtrlHandler(consoleRequest, TRUE);
        if (hooks.shown)
            hooks.shown(windows);
        exitCode = messageLoop(form);
        g_mainWindow = nullptr;
    } else {
        frame::WriteLog("FEIL: Kan ikke lage programmets vindu: " + platform::lastError().message);
    }

    frameUi.setMainWindow(nullptr);
    destroyWindows(windows);
    if (!ended)
        endProgram();
    frame::setFrameUi(nullptr);
    SetEvent(g_ended);
    SetConsoleCtrlHandler(consoleRequest, FALSE);
    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}

} // namespace spylerom::mainwindow
