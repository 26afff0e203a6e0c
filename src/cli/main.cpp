// spylerom-cli: the headless free-space filler.
#include "cli_run.h"
#include "console_window.h"

#include <csignal>
#include <cstdio>

namespace {

extern "C" void onInterrupt(int) {
    // Only counted here; the fill sees it between cycles and stops cleanly. A second Ctrl+C
    // must not abandon the clean-up, so the handler stays in place.
    spylerom::cli::ConsoleWindow::interrupts().fetch_add(1);
}

} // namespace

int main(int argc, char** argv) {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return spylerom::cli::runCli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
