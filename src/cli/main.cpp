// spylerom-cli: the headless free-space filler.
#include "cli_run.h"
#include "console_window.h"
#include "platform/console.h"

#include <cstdio>

namespace {

void noteEndRequest(int signal) {
    // Only noted here; the fill sees it between cycles and stops cleanly. A second request
    // must not abandon the clean-up, so the handler stays in place.
    spylerom::cli::ConsoleWindow::noteEndSignal(signal);
}

} // namespace

int main(int argc, char** argv) {
    // A closed terminal, Ctrl+\, kill and Ctrl+C all stop the fill cleanly. A reader of the
    // output that went away only ends the printing, and a file-size limit (ulimit -f, a unit's
    // LimitFSIZE) ends the pass as a full disk does instead of killing it with its files left.
    spylerom::platform::prepareConsole(noteEndRequest);
    return spylerom::cli::runCli(spylerom::platform::consoleArguments(argc, argv), stdout, stderr);
}
