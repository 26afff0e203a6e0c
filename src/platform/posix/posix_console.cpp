#include "platform/console.h"

#include <csignal>
#include <unistd.h>

namespace spylerom::platform {

namespace {

void (*g_note)(int) = nullptr;

extern "C" void onEndRequest(int signal) {
    if (g_note)
        g_note(signal);
}

} // namespace

std::vector<std::string> consoleArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

bool isTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

void prepareConsole(void (*note)(int signal)) {
    g_note = note;
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

} // namespace spylerom::platform
