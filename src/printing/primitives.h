// The page's drawing primitives: text, lines, shapes, arrows, the grid, the frame and hatched
// boxes, in whole millimetres relative to the origin, drawn onto PageState's Surface. Each
// keeps PageState's text metrics as stated; what the page shows is the page routine's business.
// Every primitive throws PageError when a value leaves the 32-bit range.
#pragma once

#include "printing/drawing_surface.h"

#include <cstdint>
#include <string>

namespace spylerom::printing {

// Pen width n thirds of a millimetre (at least one device unit).
void SetLineWidth(std::int32_t n);
// Font size n points: unchanged on the printer, scaled to the zoom in the preview.
void SetFontSize(std::int32_t n);
// Face and size; LineHeight from the new font.
void SetFont(const std::string& face, std::int32_t n);
// Text with its cell's top-left corner at (x, y); updates LineHeight and MaxTextWidth.
void TextAt(std::int32_t x, std::int32_t y, const std::string& text);
// TextAt(1, 0, text), then one line down when AutoAdvance is on.
void TextLine(const std::string& text);
// Text ending indent + 1 millimetres left of the printable width, counted from the origin.
void TextRight(std::int32_t indent, const std::string& text);
// TextAt with the current font turned by angle tenths of a degree counter-clockwise; the
// surface's own font is left as it was.
void TextRotated(std::int32_t angle, std::int32_t x, std::int32_t y, const std::string& text);
// One line near the bottom edge in the "Skriver_Font" face, 8 points, black; leaves
// LineHeight and MaxTextWidth alone.
void FooterText(const std::string& caption, std::int32_t number);
void DrawLine(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy);
void DrawEllipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
void DrawArc(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t x3,
             std::int32_t y3, std::int32_t x4, std::int32_t y4);
// Arrow outline of size s: kind 3 points right, kind 5 points down; other kinds draw nothing.
void DrawArrow(std::int32_t x, std::int32_t y, std::int32_t s, std::int32_t kind);
// Square grid from the origin to RightEdgeMm and BottomEdgeMm (absolute millimetres); a step
// below 1 draws nothing.
void DrawGrid(std::int32_t step, Color colour);
// Black rectangle of line width 2 around the printable area, filled with the current brush.
void DrawFrame();
// Rectangle filled with a black brush of the style code (0..7) under a white pen; pen black and
// brush white and solid afterwards.
void HatchedBox(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t style);

// The string measured for line heights.
inline constexpr const char* kLineSample = "@My";

} // namespace spylerom::printing
