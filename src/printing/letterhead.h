// The company letterhead: frame, pale grid, rule, company name and address, the title on a
// green bar and the contact block, drawn with the page primitives from the company keys of the
// settings. Which page follows is the caller's business.
#pragma once

#include <string>

namespace spylerom::printing {

// Expects ResetView to have run. Leaves the origin on the margins, line width 1, a white solid
// brush, black plain text in "Arial" 6 and AutoAdvance on.
void Letterhead(const std::string& title);

} // namespace spylerom::printing
