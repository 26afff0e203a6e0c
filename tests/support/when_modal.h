// For Qt window tests: acts on a modal dialog from inside its own event loop. Header-only, so
// the core's test support stays free of Qt.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace spylerom::test {

// Runs action on the modal dialog once it is up (within about five seconds), from inside its loop.
inline void whenModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    auto* tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        delete tries;
        if (modal)
            action(modal);
    });
    timer->start(10);
}

} // namespace spylerom::test
