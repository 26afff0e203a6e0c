// The drawing surface over a QPainter: one class for the preview's page area and the printer
// page. Measures text on its paint device even while no painter is attached, so a layout can
// run for a hidden window. Where the painter comes from is the window's business.
#pragma once

#include "printing/drawing_surface.h"

#include <QFont>
#include <QFontMetrics>

#include <optional>

class QPaintDevice;
class QPainter;

namespace spylerom::printing {

class PainterSurface : public DrawingSurface {
public:
    // device: where text is measured and whose vertical resolution turns points into pixels.
    explicit PainterSurface(QPaintDevice* device);

    // Drawing goes to painter until detach; without one the operations draw nothing.
    void attach(QPainter* painter);
    void detach() { painter_ = nullptr; }
    bool attached() const { return painter_ != nullptr; }
    // The QFont of the current font description (unrotated).
    QFont currentQFont();

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
    struct CachedFont {
        FontSpec spec; // escapement 0
        QFont font;
        QFontMetrics metrics;
    };
    const CachedFont& cachedFont();
    void usePenAndBrush(bool filled);

    QPaintDevice* device_;
    QPainter* painter_ = nullptr;
    std::optional<CachedFont> font_;
};

} // namespace spylerom::printing
