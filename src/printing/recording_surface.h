// A drawing surface that draws nothing and records every operation with its exact device
// coordinates and the drawing state in force, for tests and for checking a page's layout.
// Text is measured by a simple model (or one the caller gives), not by real fonts.
#pragma once

#include "printing/drawing_surface.h"

#include <functional>
#include <string>
#include <vector>

namespace spylerom::printing {

struct RecordedOp {
    enum class Kind { Text, Line, Polyline, Rectangle, RoundRect, Ellipse, Arc };
    Kind kind = Kind::Line;
    std::vector<Point> points; // Text: the cell corner; Line: the ends; boxes: the two corners,
                               // then the corner size (RoundRect) or the arc's start and end rays
    std::string text;
    Color penColor;
    std::int32_t penWidth = 1;
    Color brushColor;
    BrushStyle brushStyle = BrushStyle::Solid;
    FontSpec font;
};

class RecordingSurface : public DrawingSurface {
public:
    using Metrics = std::function<Extent(const FontSpec& font, std::int32_t dpi, std::string_view utf8)>;

    // dpi: the vertical resolution that turns points into pixels.
    explicit RecordingSurface(std::int32_t dpi = 96);

    // The default model: pixel height mulDiv(points, dpi, 72); cell height pixel height plus a
    // quarter; width half the pixel height (at least 1) per character.
    static Extent modelExtent(const FontSpec& font, std::int32_t dpi, std::string_view utf8);
    void setMetrics(Metrics metrics) { metrics_ = std::move(metrics); }
    std::int32_t dpi() const { return dpi_; }

    const std::vector<RecordedOp>& ops() const { return ops_; }
    std::vector<RecordedOp> opsOf(RecordedOp::Kind kind) const;
    // The recorded text operation with exactly this text; nullptr when none.
    const RecordedOp* findText(std::string_view text) const;
    void clear() { ops_.clear(); }

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
    void record(RecordedOp::Kind kind, std::vector<Point> points, std::string text = {});

    std::int32_t dpi_;
    Metrics metrics_;
    std::vector<RecordedOp> ops_;
};

// Code points of a UTF-8 text (continuation bytes not counted).
std::int32_t codePointCount(std::string_view utf8);

} // namespace spylerom::printing
