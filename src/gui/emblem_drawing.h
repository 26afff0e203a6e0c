// The program's emblem (a disk platter washed by a wave) as a drawing: the picture the main
// window shows and the menu icons are made from. Encoding and sizes are the makers' business
// (tests/mainwindow/make_emblem, packaging/make_icons).
#pragma once

class QPainter;

namespace spylerom::gui {

// Side of the square the drawing is designed in; scale the painter for other sizes.
inline constexpr int kEmblemDesignSize = 260;

// Draws the emblem over whatever the square already holds (the caller fills the background).
// Turns antialiasing on; leaves the painter's other state as it found it.
void drawEmblem(QPainter& painter);

} // namespace spylerom::gui
