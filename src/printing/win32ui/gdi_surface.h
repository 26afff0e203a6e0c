// The drawing surface over a GDI device context: one class for a printer page, a memory bitmap
// or a metafile. Pens, brushes and fonts are made for each operation from the surface's drawing
// state and given back to GDI after it; where the device context comes from, and its pages, are
// the caller's business.
#pragma once

#include "printing/drawing_surface.h"

#include <windows.h>

namespace spylerom::printing {

class GdiSurface : public DrawingSurface {
public:
    // dc: where the page is drawn and text measured; its LOGPIXELSY turns points into pixels.
    explicit GdiSurface(HDC dc) : dc_(dc) {}

    HDC dc() const { return dc_; }

    void textOut(std::int32_t x, std::int32_t y, std::string_view utf8) override;
    Extent textExtent(std::string_view utf8) override;
    void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void polyline(const std::vector<Point>& points) override;
    void rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) override;
    void roundRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                   std::int32_t cornerWidth, std::int32_t cornerHeight) override;
    void ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) override;
    void arc(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom, Point start,
             Point end) override;

private:
    HDC dc_;
};

// The font GDI makes for a font description at a vertical resolution: lfHeight is
// -MulDiv(points, dpiY, 72) (the character height without internal leading), the escapement
// turns the text (tenths of a degree), "Arial Black" is Arial's heaviest weight where it is missing.
LOGFONTW logFontFor(const FontSpec& spec, int dpiY);

} // namespace spylerom::printing
