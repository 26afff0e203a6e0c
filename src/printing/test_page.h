// The reference test page: letterhead, a cylinder of lines, arc and ellipses, an arrow, hatched
// boxes, right-aligned and rotated text in several faces and sizes, for comparing preview and
// printout. Where it is drawn is PageState's Surface.
#pragma once

namespace spylerom::printing {

// Draws the whole page; expects ResetView to have run.
void TestPage();

} // namespace spylerom::printing
