#include "printing/recording_surface.h"

#include "printing/page_arithmetic.h"

#include <algorithm>

namespace spylerom::printing {

std::int32_t codePointCount(std::string_view utf8) {
    return static_cast<std::int32_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

RecordingSurface::RecordingSurface(std::int32_t dpi) : dpi_(dpi), metrics_(&RecordingSurface::modelExtent) {}

Extent RecordingSurface::modelExtent(const FontSpec& font, std::int32_t dpi, std::string_view utf8) {
    const std::int32_t pixels = mulDiv32(font.points, dpi, 72);
    const std::int32_t perChar = std::max(1, pixels / 2);
    return {mul32(codePointCount(utf8), perChar), add32(pixels, pixels / 4)};
}

std::vector<RecordedOp> RecordingSurface::opsOf(RecordedOp::Kind kind) const {
    std::vector<RecordedOp> out;
    std::copy_if(ops_.begin(), ops_.end(), std::back_inserter(out),
                 [kind](const RecordedOp& op) { return op.kind == kind; });
    return out;
}

const RecordedOp* RecordingSurface::findText(std::string_view text) const {
    for (const auto& op : ops_)
        if (op.kind == RecordedOp::Kind::Text && op.text == text)
            return &op;
    return nullptr;
}

void RecordingSurface::record(RecordedOp::Kind kind, std::vector<Point> points, std::string text) {
    RecordedOp op;
    op.kind = kind;
    op.points = std::move(points);
    op.text = std::move(text);
    op.penColor = penColor();
    op.penWidth = penWidth();
    op.brushColor = brushColor();
    op.brushStyle = brushStyle();
    op.font = font();
    ops_.push_back(std::move(op));
}

void RecordingSurface::textOut(std::int32_t x, std::int32_t y, std::string_view utf8) {
    record(RecordedOp::Kind::Text, {{x, y}}, std::string(utf8));
}

Extent RecordingSurface::textExtent(std::string_view utf8) {
    return metrics_(font(), dpi_, utf8);
}

void RecordingSurface::line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    record(RecordedOp::Kind::Line, {{x1, y1}, {x2, y2}});
}

void RecordingSurface::polyline(const std::vector<Point>& points) {
    record(RecordedOp::Kind::Polyline, points);
}

void RecordingSurface::rectangle(std::int32_t left, std::int32_t top, std::int32_t right,
                                 std::int32_t bottom) {
    record(RecordedOp::Kind::Rectangle, {{left, top}, {right, bottom}});
}

void RecordingSurface::roundRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                                 std::int32_t cornerWidth, std::int32_t cornerHeight) {
    record(RecordedOp::Kind::RoundRect, {{left, top}, {right, bottom}, {cornerWidth, cornerHeight}});
}

void RecordingSurface::ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    record(RecordedOp::Kind::Ellipse, {{left, top}, {right, bottom}});
}

void RecordingSurface::arc(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                           Point start, Point end) {
    record(RecordedOp::Kind::Arc, {{left, top}, {right, bottom}, start, end});
}

} // namespace spylerom::printing
