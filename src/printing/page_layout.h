// Page layout: fits the page to the current surface (preview page area or printer page) and
// converts whole millimetres to device units. Reads the margin keys from the settings; where
// the page area goes on screen is left to the PageView.
#pragma once

#include <cstdint>

namespace spylerom::printing {

// Lays the page out for the current surface: page area size, Scale, the printable edges in
// device units and millimetres, and the origin on the left and top margins. When Printing, sets
// the printer's orientation from Rotated first. Throws PageError on overflow.
void ResetView();
// v millimetres in device units: v * Scale truncated toward zero.
std::int32_t MmToDev(std::int32_t v);
// The origin a millimetres right of (below) the printable area's left (top) edge.
void SetOriginX(std::int32_t a);
void SetOriginY(std::int32_t a);
// Moves the origin down n text lines (n may be fractional), rounding halves to even.
void NewLines(double n);

} // namespace spylerom::printing
