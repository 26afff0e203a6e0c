// spylerom-cli: the headless free-space filler.
#include "cli_run.h"
#include "console_window.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <shellapi.h>
#endif

namespace {

void noteEndRequest(int signal) {
    // Only noted here; the fill sees it between cycles and stops cleanly. A second request
    // must not abandon the clean-up, so the handler stays in place.
    spylerom::cli::ConsoleWindow::noteEndSignal(signal);
}

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: // the system waits a few seconds for the clean-up before it ends us
        noteEndRequest(SIGINT);
        return TRUE;
    default:
        return FALSE;
    }
}

// The arguments as the user typed them, in UTF-8 (argv holds them in the ANSI code page).
std::vector<std::string> arguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(spylerom::platform::narrow(wide[i]));
    LocalFree(wide);
    return args;
}
#else
extern "C" void onEndRequest(int signal) {
    noteEndRequest(signal);
}

// A closed terminal (HUP), Ctrl+\ (QUIT), kill (TERM) and Ctrl+C (INT) all stop the fill
// cleanly. A reader of the output that went away (PIPE) only ends the printing. A file-size
// limit (ulimit -f, a unit's LimitFSIZE) must not kill the fill with its files on the disk
// (XFSZ): ignored, a write past it fails with EFBIG, which ends the pass as a full disk does.
void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onEndRequest;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGHUP, SIGQUIT, SIGTERM, SIGINT})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ})
        sigaction(signal, &ignore, nullptr);
}
#endif

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    SetConsoleOutputCP(CP_UTF8); // the texts are UTF-8
    return spylerom::cli::runCli(arguments(), stdout, stderr);
#else
    installSignalHandlers();
    return spylerom::cli::runCli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
#endif
}
