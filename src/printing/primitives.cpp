#include "printing/primitives.h"

#include "frame/settings.h"
#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/page_state.h"

#include <vector>

namespace spylerom::printing {

namespace {

// The converted point: millimetres relative to the origin in device units.
Point convert(std::int32_t x, std::int32_t y) {
    const PageState& s = pageState();
    return {MmToDev(add32(x, s.OriginX)), MmToDev(add32(y, s.OriginY))};
}

// Millimetres of a device length, truncated.
std::int32_t devToMm(std::int32_t device) {
    return trunc32(device / pageState().Scale);
}

// After text: the line height of the current font and the widest text so far.
void noteTextMetrics(DrawingSurface& surface, const std::string& text) {
    PageState& s = pageState();
    s.LineHeight = add32(devToMm(surface.textExtent(kLineSample).height), 1);
    const std::int32_t width = devToMm(surface.textExtent(text).width);
    if (width > s.MaxTextWidth)
        s.MaxTextWidth = width;
}

} // namespace

void SetLineWidth(std::int32_t n) {
    const std::int32_t width = mul32(n, trunc32(pageState().Scale / 3));
    currentSurface().setPenWidth(width < 1 ? 1 : width);
}

void SetFontSize(std::int32_t n) {
    const PageState& s = pageState();
    currentSurface().font().points = s.Printing ? n : round32(n / 3.85 * s.Scale);
}

void SetFont(const std::string& face, std::int32_t n) {
    DrawingSurface& surface = currentSurface();
    surface.font().face = face;
    SetFontSize(n);
    pageState().LineHeight = add32(devToMm(surface.textExtent(kLineSample).height), 1);
}

void TextAt(std::int32_t x, std::int32_t y, const std::string& text) {
    DrawingSurface& surface = currentSurface();
    const Point at = convert(x, y);
    surface.textOut(at.x, at.y, text);
    noteTextMetrics(surface, text);
}

void TextLine(const std::string& text) {
    TextAt(1, 0, text);
    if (pageState().AutoAdvance)
        NewLines(1);
}

void TextRight(std::int32_t indent, const std::string& text) {
    const PageState& s = pageState();
    const std::int32_t room = sub32(sub32(s.RightEdge, s.LeftEdge), currentSurface().textExtent(text).width);
    TextAt(sub32(sub32(devToMm(room), indent), 1), 0, text);
}

void TextRotated(std::int32_t angle, std::int32_t x, std::int32_t y, const std::string& text) {
    DrawingSurface& surface = currentSurface();
    const Point at = convert(x, y);
    const FontSpec previous = surface.font();
    FontSpec turned = previous;
    turned.escapement = angle;
    surface.setFont(turned);
    try {
        surface.textOut(at.x, at.y, text);
        noteTextMetrics(surface, text);
    } catch (...) {
        surface.setFont(previous);
        throw;
    }
    surface.setFont(previous);
}

void FooterText(const std::string& caption, std::int32_t number) {
    DrawingSurface& surface = currentSurface();
    const std::string face = frame::ReadSettingString("Skriver_Font");
    if (!face.empty())
        surface.font().face = face;
    SetFontSize(8);
    surface.font().color = kBlack;
    const PageState& s = pageState();
    const std::int32_t x = add32(MmToDev(5), s.LeftEdge);
    const std::int32_t y = sub32(s.BottomEdge, add32(surface.textExtent(kLineSample).height, 10));
    surface.textOut(x, y, caption + "   side " + std::to_string(number));
}

void DrawLine(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy) {
    const Point from = convert(x, y);
    const Point to = convert(add32(x, dx), add32(y, dy));
    currentSurface().line(from.x, from.y, to.x, to.y);
}

void DrawEllipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    const Point a = convert(x1, y1);
    const Point b = convert(x2, y2);
    currentSurface().ellipse(a.x, a.y, b.x, b.y);
}

void DrawArc(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t x3,
             std::int32_t y3, std::int32_t x4, std::int32_t y4) {
    const Point a = convert(x1, y1);
    const Point b = convert(x2, y2);
    currentSurface().arc(a.x, a.y, b.x, b.y, convert(x3, y3), convert(x4, y4));
}

void DrawArrow(std::int32_t x, std::int32_t y, std::int32_t s, std::int32_t kind) {
    if (kind != 3 && kind != 5)
        return;
    const PageState& st = pageState();
    const std::int32_t X = add32(x, st.OriginX);
    const std::int32_t Y = add32(y, st.OriginY);
    const std::int32_t h = s / 2;
    const std::int32_t s2 = mul32(s, 2);
    const std::int32_t s3 = mul32(s, 3);
    const std::int32_t sh = add32(s, h);
    // Millimetre points; along is the arrow's direction, across the other axis.
    std::vector<std::pair<std::int32_t, std::int32_t>> mm;
    if (kind == 3) {
        const std::int32_t T = sub32(sub32(Y, h), s);
        mm = {{add32(X, s), add32(T, s)},
              {X, add32(T, s)},
              {X, add32(T, s2)},
              {add32(X, s), add32(T, s2)},
              {add32(X, s), add32(T, s3)},
              {add32(add32(X, s2), h), add32(T, sh)},
              {add32(X, s), T},
              {add32(X, s), add32(T, s)}};
    } else {
        const std::int32_t L = sub32(sub32(X, h), s);
        mm = {{add32(L, s), add32(Y, s)},
              {add32(L, s), Y},
              {add32(L, s2), Y},
              {add32(L, s2), add32(Y, s)},
              {add32(L, s3), add32(Y, s)},
              {add32(L, sh), add32(add32(Y, s2), h)},
              {L, add32(Y, s)},
              {add32(L, s), add32(Y, s)}};
    }
    std::vector<Point> points;
    points.reserve(mm.size());
    for (const auto& [px, py] : mm)
        points.push_back({MmToDev(px), MmToDev(py)});
    currentSurface().polyline(points);
}

void DrawGrid(std::int32_t step, Color colour) {
    DrawingSurface& surface = currentSurface();
    surface.setPenWidth(1);
    if (step < 1)
        return; // would never reach the edge
    const PageState& s = pageState();
    const Color remembered = surface.penColor();
    surface.setPenColor(colour);
    const std::int32_t top = MmToDev(s.OriginY);
    const std::int32_t bottom = MmToDev(s.BottomEdgeMm);
    for (std::int64_t x = s.OriginX; x <= s.RightEdgeMm; x += step) {
        const std::int32_t dx = MmToDev(static_cast<std::int32_t>(x));
        surface.line(dx, top, dx, bottom);
    }
    const std::int32_t left = MmToDev(add32(s.OriginX, 1));
    const std::int32_t right = MmToDev(s.RightEdgeMm);
    for (std::int64_t y = s.OriginY; y <= s.BottomEdgeMm; y += step) {
        const std::int32_t dy = MmToDev(static_cast<std::int32_t>(y));
        surface.line(left, dy, right, dy);
    }
    surface.setPenColor(remembered);
}

void DrawFrame() {
    SetLineWidth(2);
    DrawingSurface& surface = currentSurface();
    surface.setPenColor(kBlack);
    const PageState& s = pageState();
    surface.rectangle(s.LeftEdge, s.TopEdge, s.RightEdge, s.BottomEdge);
}

void HatchedBox(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t style) {
    DrawingSurface& surface = currentSurface();
    const Point a = convert(x1, y1);
    const Point b = convert(x2, y2);
    surface.setBrushStyle(brushStyleFromCode(style));
    surface.setBrushColor(kBlack);
    surface.setPenColor(kWhite);
    surface.rectangle(a.x, a.y, b.x, b.y);
    surface.setPenColor(kBlack);
    surface.setBrushColor(kWhite);
    surface.setBrushStyle(BrushStyle::Solid);
}

} // namespace spylerom::printing
