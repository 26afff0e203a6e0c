// The window program's start and end around its message loop, the same for every front end:
// the log, the frame's start-up, the clean-up after killed fills, and at the end the frame's
// shut-down and the log's save (also when the process ends under the program). Creating the
// windows and running the loop are the front end's.
#pragma once

#include "fill/fill_record.h"

#include <string>
#include <vector>

namespace spylerom::mainwindow {

// InitLog, the exit hook, FrameStartup(arguments), then the clean-up of fills that were killed
// (a power cut, the OOM killer). Returns what that clean-up did, for the user to be told.
// The front end installs its frame UI first, so that the start-up can show a message box.
std::vector<fill::Recovery> startProgram(const std::vector<std::string>& arguments);

// The text telling the user what the clean-up after killed fills did; empty when it did nothing.
std::string recoveryNoticeText(const std::vector<fill::Recovery>& recovered);

// FrameShutdown and SaveLog (a failed save is told on standard error). Call after every window
// has been destroyed, before the frame UI goes.
void endProgram();

} // namespace spylerom::mainwindow
