// The signal handlers, their pipe and the native event that tells of a destroyed window.
#include "mainwindow/ui/end_requests.h"

#include <QCoreApplication>
#include <QTimer>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace spylerom::mainwindow {

namespace {

constexpr std::array<int, 4> kEndSignals = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// One set of handlers per process: the pipe's ends and the first signal are the handler's.
int g_pipe[2] = {-1, -1};
std::atomic<int> g_firstSignal{0};
std::array<struct sigaction, kEndSignals.size()> g_previous{};
struct sigaction g_previousPipe {};
struct sigaction g_previousFileSize {};

extern "C" void onEndSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    g_firstSignal.compare_exchange_strong(none, signal);
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a request: the byte may be dropped.
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

bool makePipe() {
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) == 0)
        return true;
    g_pipe[0] = g_pipe[1] = -1;
    return false;
}

} // namespace

EndRequests::EndRequests(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {
    g_firstSignal = 0;
    if (makePipe()) {
        notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readSignals(); });
        struct sigaction action {};
        action.sa_handler = onEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kEndSignals.size(); ++i)
            sigaction(kEndSignals[i], &action, &g_previous[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &g_previousPipe);
    // A file-size limit (ulimit -f, LimitFSIZE) would end the process in the middle of a fill,
    // its files and lifted reserve left behind; ignored, a write past it fails with EFBIG,
    // which the fill takes as a full disk.
    sigaction(SIGXFSZ, &ignore, &g_previousFileSize);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

EndRequests::~EndRequests() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
    sigaction(SIGPIPE, &g_previousPipe, nullptr);
    sigaction(SIGXFSZ, &g_previousFileSize, nullptr);
    if (g_pipe[0] < 0)
        return;
    for (std::size_t i = 0; i < kEndSignals.size(); ++i)
        sigaction(kEndSignals[i], &g_previous[i], nullptr);
    notifier_.reset();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void EndRequests::watchWindow(QWidget* window) {
    window_ = window;
}

int EndRequests::firstSignal() const {
    return g_firstSignal.load();
}

void EndRequests::readSignals() {
    unsigned char bytes[64];
    bool any = false;
    while (read(g_pipe[0], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        request();
}

void EndRequests::request() {
    requested_ = true;
    if (onRequest_)
        onRequest_();
}

bool EndRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !window_)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
    // Only the main window's own: Qt destroys its other windows (menus, tips) all the time.
    if (destroyed->window == static_cast<xcb_window_t>(window_->internalWinId()))
        QTimer::singleShot(0, this, [this] { request(); });
    return false;
}

} // namespace spylerom::mainwindow
