#include "printing/drawing_surface.h"

namespace spylerom::printing {

BrushStyle brushStyleFromCode(std::int32_t code) {
    if (code < 0 || code > 7)
        return BrushStyle::Hollow;
    return static_cast<BrushStyle>(code);
}

} // namespace spylerom::printing
