#include "sysinfo/ui/click_label.h"

#include <QMouseEvent>

#include <utility>

namespace spylerom::sysinfo {

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void ClickLabel::setLink(bool link) {
    link_ = link;
    QPalette colours = palette();
    if (link)
        colours.setColor(QPalette::WindowText, QColor(0, 0, 128)); // navy
    else
        colours.setColor(QPalette::WindowText, QPalette().color(QPalette::WindowText));
    setPalette(colours);
    setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a press and a release over the label, as with a button. The release that ends
    // a double-click is no second click: a link acts once.
    const bool endsDoubleClick = std::exchange(inDoubleClick_, false);
    if (event->button() == Qt::LeftButton && !endsDoubleClick && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        inDoubleClick_ = true;
        emit doubleClicked();
    }
    QLabel::mouseDoubleClickEvent(event);
}

} // namespace spylerom::sysinfo
