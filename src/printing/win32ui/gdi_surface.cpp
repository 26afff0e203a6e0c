// GDI's pens, brushes and fonts for the page model's drawing state, and the operations.
#include "printing/win32ui/gdi_surface.h"

#include "platform/win32/win32_platform.h"
#include "printing/page_arithmetic.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace spylerom::printing {

namespace {

COLORREF gdiColor(Color c) {
    return RGB(c.red, c.green, c.blue);
}

// A GDI object selected into a device context for one operation, then deselected and deleted.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object, bool owned) : dc_(dc), object_(object), owned_(owned) {
        previous_ = object ? SelectObject(dc, object) : nullptr;
    }
    ~Selected() {
        if (previous_)
            SelectObject(dc_, previous_);
        if (owned_ && object_)
            DeleteObject(object_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ previous_ = nullptr;
    bool owned_;
};

int hatchStyle(BrushStyle style) {
    switch (style) {
    case BrushStyle::Horizontal:
        return HS_HORIZONTAL;
    case BrushStyle::Vertical:
        return HS_VERTICAL;
    case BrushStyle::ForwardDiagonal:
        return HS_FDIAGONAL;
    case BrushStyle::BackwardDiagonal:
        return HS_BDIAGONAL;
    case BrushStyle::Cross:
        return HS_CROSS;
    case BrushStyle::DiagonalCross:
        return HS_DIAGCROSS;
    default:
        return -1;
    }
}

} // namespace

LOGFONTW logFontFor(const FontSpec& spec, int dpiY) {
    LOGFONTW font{};
    font.lfHeight = -std::max(1, mulDiv32(spec.points, dpiY, 72));
    font.lfEscapement = spec.escapement;
    font.lfOrientation = spec.escapement;
    font.lfWeight = spec.style.bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = spec.style.italic ? TRUE : FALSE;
    font.lfUnderline = spec.style.underline ? TRUE : FALSE;
    font.lfStrikeOut = spec.style.strikeOut ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision =
        CLIP_DEFAULT_PRECIS | CLIP_LH_ANGLES; // turned text turns the same way on every device
    font.lfQuality = ANTIALIASED_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = platform::widen(spec.face);
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return font;
}

void GdiSurface::textOut(std::int32_t x, std::int32_t y, std::string_view utf8) {
    if (utf8.empty())
        return;
    const LOGFONTW logFont = logFontFor(font(), GetDeviceCaps(dc_, LOGPIXELSY));
    const Selected selected(dc_, CreateFontIndirectW(&logFont), true);
    const std::wstring text = platform::widen(std::string(utf8));
    const bool opaque = brushStyle() == BrushStyle::Solid;
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetTextColor(dc_, gdiColor(font().color));
    SetBkColor(dc_, gdiColor(brushColor()));
    SetBkMode(dc_, opaque ? OPAQUE : TRANSPARENT);
    TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
}

Extent GdiSurface::textExtent(std::string_view utf8) {
    FontSpec upright = font();
    upright.escapement = 0;
    const LOGFONTW logFont = logFontFor(upright, GetDeviceCaps(dc_, LOGPIXELSY));
    const Selected selected(dc_, CreateFontIndirectW(&logFont), true);
    const std::wstring text = platform::widen(std::string(utf8));
    SIZE size{};
    if (!text.empty()) {
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    } else {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc_, &metrics);
        size.cy = metrics.tmHeight;
    }
    return {size.cx, size.cy};
}

namespace {

// The pen of the drawing state, and the brush when the shape is filled.
struct PenAndBrush {
    PenAndBrush(HDC dc, const DrawingSurface& s, bool filled)
        : pen(dc, CreatePen(PS_SOLID, std::max(1, s.penWidth()), gdiColor(s.penColor())), true),
          brush(dc, makeBrush(s, filled), filled && s.brushStyle() != BrushStyle::Hollow) {
        // Hatches leave the lines' background as it was, as the window's hatches do.
        SetBkMode(dc, TRANSPARENT);
    }
    static HGDIOBJ makeBrush(const DrawingSurface& s, bool filled) {
        if (!filled || s.brushStyle() == BrushStyle::Hollow)
            return GetStockObject(NULL_BRUSH);
        const int hatch = hatchStyle(s.brushStyle());
        return hatch < 0 ? CreateSolidBrush(gdiColor(s.brushColor()))
                         : CreateHatchBrush(hatch, gdiColor(s.brushColor()));
    }
    Selected pen;
    Selected brush;
};

} // namespace

void GdiSurface::line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    const PenAndBrush tools(dc_, *this, false);
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
}

void GdiSurface::polyline(const std::vector<Point>& points) {
    if (points.empty())
        return;
    std::vector<POINT> gdiPoints;
    gdiPoints.reserve(points.size());
    for (const auto& p : points)
        gdiPoints.push_back({p.x, p.y});
    const PenAndBrush tools(dc_, *this, false);
    Polyline(dc_, gdiPoints.data(), static_cast<int>(gdiPoints.size()));
}

void GdiSurface::rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    const PenAndBrush tools(dc_, *this, true);
    Rectangle(dc_, left, top, right, bottom);
}

void GdiSurface::roundRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                           std::int32_t cornerWidth, std::int32_t cornerHeight) {
    const PenAndBrush tools(dc_, *this, true);
    RoundRect(dc_, left, top, right, bottom, cornerWidth, cornerHeight);
}

void GdiSurface::ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    const PenAndBrush tools(dc_, *this, true);
    Ellipse(dc_, left, top, right, bottom);
}

void GdiSurface::arc(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                     Point start, Point end) {
    const PenAndBrush tools(dc_, *this, false);
    SetArcDirection(dc_, AD_COUNTERCLOCKWISE);
    Arc(dc_, left, top, right, bottom, start.x, start.y, end.x, end.y);
}

} // namespace spylerom::printing
