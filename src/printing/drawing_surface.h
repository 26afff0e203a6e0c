// The drawing surface the page model draws on: pen, brush, font and the drawing operations in
// device units. The surface keeps the drawing state the primitives set and leave behind; how
// the operations reach a screen, a printer or a recording is left to the implementations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::printing {

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kGreen{0, 128, 0};
inline constexpr Color kPaleCyan{176, 255, 255};

// The brush style codes the page model uses (HatchedBox takes them as numbers).
enum class BrushStyle : int {
    Solid = 0,
    Hollow = 1,
    Horizontal = 2,
    Vertical = 3,
    ForwardDiagonal = 4,  // "\\\\" lines, downward left to right
    BackwardDiagonal = 5, // "////" lines, upward left to right
    Cross = 6,
    DiagonalCross = 7,
};

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    friend bool operator==(const FontStyle&, const FontStyle&) = default;
};

struct FontSpec {
    std::string face = "Arial";
    std::int32_t points = 8; // at the surface's own vertical resolution
    Color color = kBlack;
    FontStyle style;
    std::int32_t escapement =
        0; // tenths of a degree, counter-clockwise; the text turns about its cell's corner
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Extent {
    std::int32_t width = 0;
    std::int32_t height = 0; // the text cell's height: ascent plus descent
};

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    // Drawing state. Every page starts with a white, solid brush (startPage).
    void setPenColor(Color color) { penColor_ = color; }
    void setPenWidth(std::int32_t width) { penWidth_ = width; }
    void setBrushColor(Color color) { brushColor_ = color; }
    void setBrushStyle(BrushStyle style) { brushStyle_ = style; }
    void setFont(const FontSpec& font) { font_ = font; }
    Color penColor() const { return penColor_; }
    std::int32_t penWidth() const { return penWidth_; }
    Color brushColor() const { return brushColor_; }
    BrushStyle brushStyle() const { return brushStyle_; }
    const FontSpec& font() const { return font_; }
    FontSpec& font() { return font_; }
    void startPage() {
        brushColor_ = kWhite;
        brushStyle_ = BrushStyle::Solid;
    }

    // Operations in device units: (0, 0) is the top-left corner, y grows downward. Boxes give
    // their top-left and bottom-right corners.
    // Text with its cell's top-left corner at (x, y); the cell is filled with the brush colour
    // when the brush is solid, left transparent otherwise.
    virtual void textOut(std::int32_t x, std::int32_t y, std::string_view utf8) = 0;
    virtual Extent textExtent(std::string_view utf8) = 0;
    virtual void line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
    virtual void polyline(const std::vector<Point>& points) = 0;
    // Outlined with the pen, filled with the brush.
    virtual void rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) = 0;
    virtual void roundRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                           std::int32_t cornerWidth, std::int32_t cornerHeight) = 0;
    virtual void ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) = 0;
    // Arc of the ellipse inscribed in the box, counter-clockwise from the ray towards `start` to
    // the ray towards `end` (both from the box's centre); the same ray twice gives the whole ellipse.
    virtual void arc(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                     Point start, Point end) = 0;

private:
    Color penColor_ = kBlack;
    std::int32_t penWidth_ = 1;
    Color brushColor_ = kWhite;
    BrushStyle brushStyle_ = BrushStyle::Solid;
    FontSpec font_;
};

// The brush style of a code 0..7; any other code gives Hollow, which hides nothing.
BrushStyle brushStyleFromCode(std::int32_t code);

} // namespace spylerom::printing
