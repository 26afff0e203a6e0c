// Requests to end the window program that come from outside it: the signals of a closed
// session, `kill`, Ctrl+C and Ctrl+\ (HUP, TERM, INT, QUIT), and the main window destroyed by
// another X client (`xdotool windowclose`), after which no close request can ever arrive. The
// signal handler only writes the number to a pipe; the message loop reads it, so a request is
// handled as a message, also while a fill handles messages inside its pass. What to do about a
// request is the owner's: it is told through onRequest.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <functional>
#include <memory>

namespace spylerom::mainwindow {

class EndRequests : public QObject, private QAbstractNativeEventFilter {
public:
    // Installs the handlers (and ignores SIGPIPE and SIGXFSZ: neither a closed standard error
    // nor a file-size limit may end a fill). onRequest runs in the message loop, once for each batch of
    // requests.
    explicit EndRequests(std::function<void()> onRequest);
    // Puts the earlier handlers back.
    ~EndRequests() override;
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

    // Also a request: window's native window destroyed by someone else.
    void watchWindow(QWidget* window);
    // The signal that asked first, 0 when none did (a destroyed window counts as none).
    int firstSignal() const;
    // Whether any request has come.
    bool requested() const { return requested_; }

private:
    void readSignals();
    void request();
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    std::function<void()> onRequest_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QPointer<QWidget> window_;
    bool requested_ = false;
};

} // namespace spylerom::mainwindow
