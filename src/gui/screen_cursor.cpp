// The program-wide pointer as Qt's override cursor, set at most once so it never stacks.
#include "gui/screen_cursor.h"

#include <QApplication>
#include <QCursor>

namespace spylerom::gui {

namespace {
std::optional<Qt::CursorShape> g_shape;
} // namespace

void setScreenCursor(std::optional<Qt::CursorShape> shape) {
    if (shape == g_shape)
        return;
    if (!shape)
        QApplication::restoreOverrideCursor();
    else if (g_shape)
        QApplication::changeOverrideCursor(QCursor(*shape));
    else
        QApplication::setOverrideCursor(QCursor(*shape));
    g_shape = shape;
}

std::optional<Qt::CursorShape> screenCursor() {
    return g_shape;
}

} // namespace spylerom::gui
