// The console a command-line program runs in: its arguments as typed, whether a stream is a
// terminal, and the requests to end the program, handed to one function. What the program does
// on such a request is its own.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace spylerom::platform {

// The program's arguments after its own name, in UTF-8 (on Windows from the wide command line:
// argv holds them in the ANSI code page).
std::vector<std::string> consoleArguments(int argc, char** argv);

// Whether stream writes to a terminal (a console window).
bool isTerminal(std::FILE* stream);

// From now on a request to end calls note with its signal number, and note may only note it:
// SIGHUP (a closed terminal), SIGQUIT, SIGTERM and SIGINT; on Windows Ctrl+C, Ctrl+Break and the
// console's close, as SIGINT (the system waits a few seconds for the clean-up). A second request
// calls note again. A reader of the output that went away (SIGPIPE) and a file-size limit
// (SIGXFSZ: a write past it fails with EFBIG instead) end nothing. On Windows the console shows
// UTF-8 from now on.
void prepareConsole(void (*note)(int signal));

} // namespace spylerom::platform
