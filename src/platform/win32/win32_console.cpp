#include "platform/console.h"

#include "platform/win32/win32_platform.h"

#include <csignal>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace spylerom::platform {

namespace {

void (*g_note)(int) = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: // the system waits a few seconds for the clean-up before it ends us
        if (g_note)
            g_note(SIGINT);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

std::vector<std::string> consoleArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(narrow(wide[i]));
    LocalFree(wide);
    return args;
}

bool isTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

void prepareConsole(void (*note)(int signal)) {
    g_note = note;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    SetConsoleOutputCP(CP_UTF8); // the texts are UTF-8
}

} // namespace spylerom::platform
