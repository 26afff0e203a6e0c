// The one pointer shape over all windows of the program (busy, working in background, normal),
// shared by the fill and the frame so that neither stacks its cursor on the other's. Which
// shape to show when is the caller's business.
#pragma once

#include <Qt>
#include <optional>

namespace spylerom::gui {

// Puts shape over every window of the program; nullopt gives the windows their own pointers back.
void setScreenCursor(std::optional<Qt::CursorShape> shape);

// The shape set by setScreenCursor, nullopt when none is set.
std::optional<Qt::CursorShape> screenCursor();

} // namespace spylerom::gui
