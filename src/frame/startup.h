// The frame's start-up and shut-down: the command line, the settings, the folder tree, the log
// switches, the optional clean-up and the start and closing log lines. The log itself is set
// up before (InitLog) and saved after (SaveLog) by the program's entry.
#pragma once

#include <string>
#include <vector>

namespace spylerom::frame {

struct StartupState {
    std::string CaptionOverride;   // from "--caption"; kept, read by nothing here
    bool InstallRequested = false; // from "-install": the folder tree is made even when it exists
    bool started = false;          // FrameStartup has run
    bool shutDown = false;         // FrameShutdown has run
};

StartupState& startupState();

// Reads the frame's options from the arguments after the program path: "--debug",
// "-install", and "-ip", "--caption", "--user" with the next argument as value (that argument
// is examined as an argument in its own right as well). Anything else is ignored.
void ReadCommandLine(const std::vector<std::string>& arguments);

// The whole start-up; arguments are those after the program path. Runs once per process.
void FrameStartup(const std::vector<std::string>& arguments);
void FrameStartup(int argc, char** argv);
// Writes the settings back and logs the closing summary. Runs once per process.
void FrameShutdown();

// "LOGIN: " with the logon user, node, domain and IP address.
std::string LoginLine();

// Puts every piece of the frame's process-wide state back to its start (tests).
void ResetFrameState();

} // namespace spylerom::frame
