// The drawing surface over a QPainter: one class for the preview's page area and the printer
// page. Measures text on its paint device even while no painter is attached, so a layout can
// run for a hidden window. Where the painter comes from is the window's business.
#pragma once

#include "printing/drawing_surface.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>

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
    // Keep turned text as pictures between paints: the screen's glyph cache holds only a few
    // turned fonts, so a page that fans out many angles would render every glyph anew on every
    // paint. Printers keep real text, so their output stays searchable.
    void setKeepTurnedText(bool keep) { keepTurnedText_ = keep; }

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
    struct TurnedText {
        QImage image;
        QPoint offset; // of the picture's corner from the text cell's corner, device pixels
    };
    void drawText(const CachedFont& f, const QString& text, bool opaque);
    const TurnedText& turnedText(const CachedFont& f, const QString& text, bool opaque);

    QPaintDevice* device_;
    QPainter* painter_ = nullptr;
    std::optional<CachedFont> font_;
    bool keepTurnedText_ = false;
    QHash<QString, TurnedText> turned_; // by font, angle, colours and text
    qsizetype turnedBytes_ = 0;
};

} // namespace spylerom::printing
