// spylerom.exe: the window program that wipes the free space of a drive.
#include "mainwindow/win32ui/program.h"
#include "platform/win32/win32_platform.h"

#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The arguments after the program's path, as UTF-8.
    std::vector<std::string> arguments;
    int count = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.push_back(spylerom::platform::narrow(argv[i]));
        LocalFree(argv);
    }
    return spylerom::mainwindow::runProgram(arguments);
}
