// Turns the page model's font description into a QFont at a device's resolution: the point
// size becomes an exact pixel height as GDI computes it, and face names without a face of their
// own are given the nearest installed one. Which faces are installed is fontconfig's business.
#pragma once

#include "printing/drawing_surface.h"

#include <QFont>

namespace spylerom::printing {

// The QFont for spec at dpiY dots per inch vertically; the escapement is left to the painter.
QFont qtFontFor(const FontSpec& spec, int dpiY);

} // namespace spylerom::printing
