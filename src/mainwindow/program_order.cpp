// The window program's start and end around its message loop.
#include "mainwindow/program_order.h"

#include "frame/frame_ui.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace spylerom::mainwindow {

namespace {

void saveLog() {
    platform::Error err;
    if (!frame::SaveLog(err))
        std::fprintf(stderr, "spylerom: cannot write the log file %s: %s\n",
                     frame::logState().LogFileName.c_str(), err.message.c_str());
}

// True from the log's start to its save: the program has not reached its own end yet.
bool g_running = false;

// The end when the process ends under the program, as Qt's X11 plugin does with exit() once
// the display connection is lost: the frame is shut down and the log saved all the same (a
// fill's own exit hook, registered later, has cleaned up the pass before this runs).
void endWithoutTheWindow() {
    if (!g_running)
        return;
    g_running = false;
    frame::setFrameUi(nullptr); // no window can show anything any more
    frame::WriteLog("FEIL: Programmet ble avsluttet uten at vinduet ble lukket");
    frame::FrameShutdown();
    saveLog();
}

void registerExitHook() {
    static const bool registered = std::atexit(endWithoutTheWindow) == 0;
    (void)registered;
}

} // namespace

std::vector<fill::Recovery> startProgram(const std::vector<std::string>& arguments) {
    frame::InitLog();
    // Registered after the log and the platform exist, so they outlive the hook.
    registerExitHook();
    g_running = true;
    frame::FrameStartup(arguments);
    // A fill that was killed (a power cut, the OOM killer) left files and a lifted reserve:
    // undone before anything else, and told.
    return fill::RecoverAbandonedFills();
}

std::string recoveryNoticeText(const std::vector<fill::Recovery>& recovered) {
    std::string text;
    const auto line = [&text](const std::string& part) {
        if (!text.empty())
            text += '\n';
        text += part;
    };
    for (const auto& recovery : recovered) {
        line(fill::RecoveryText(recovery));
        for (const auto& kept : recovery.filesKept)
            line("Ikke slettet (kan ikke bevises å være fra fyllingen): " + kept);
    }
    return text;
}

void endProgram() {
    g_running = false;
    frame::FrameShutdown();
    saveLog();
}

} // namespace spylerom::mainwindow
