#include "printing/ui/widget_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace spylerom::printing {

namespace {

// The frame's extra width and height over the client area (0 before the window is shown).
QSize frameExtra(const QWidget& w) {
    return w.frameGeometry().size() - w.geometry().size();
}

QSize screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

} // namespace

int WidgetPlacement::left() const {
    return window_.frameGeometry().x();
}
int WidgetPlacement::top() const {
    return window_.frameGeometry().y();
}
int WidgetPlacement::width() const {
    return window_.frameGeometry().width();
}
int WidgetPlacement::height() const {
    return window_.frameGeometry().height();
}
bool WidgetPlacement::maximized() const {
    return window_.isMaximized();
}

void WidgetPlacement::setLeft(int value) {
    window_.move(value, window_.frameGeometry().y());
}
void WidgetPlacement::setTop(int value) {
    window_.move(window_.frameGeometry().x(), value);
}

void WidgetPlacement::setWidth(int value) {
    window_.resize(std::max(1, value - frameExtra(window_).width()), window_.height());
}

void WidgetPlacement::setHeight(int value) {
    window_.resize(window_.width(), std::max(1, value - frameExtra(window_).height()));
}

void WidgetPlacement::maximize() {
    window_.setWindowState(window_.windowState() | Qt::WindowMaximized);
}

int WidgetPlacement::screenWidth() const {
    return screenSize().width();
}
int WidgetPlacement::screenHeight() const {
    return screenSize().height();
}

} // namespace spylerom::printing
