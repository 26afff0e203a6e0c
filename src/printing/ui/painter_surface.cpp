#include "printing/ui/painter_surface.h"

#include "printing/ui/font_faces.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPolygon>
#include <QTransform>

#include <cmath>
#include <numbers>

namespace spylerom::printing {

namespace {

QColor qtColor(Color c) {
    return QColor(c.red, c.green, c.blue);
}

Qt::BrushStyle qtBrushStyle(BrushStyle style) {
    switch (style) {
    case BrushStyle::Solid:
        return Qt::SolidPattern;
    case BrushStyle::Hollow:
        return Qt::NoBrush;
    case BrushStyle::Horizontal:
        return Qt::HorPattern;
    case BrushStyle::Vertical:
        return Qt::VerPattern;
    case BrushStyle::ForwardDiagonal:
        return Qt::FDiagPattern;
    case BrushStyle::BackwardDiagonal:
        return Qt::BDiagPattern;
    case BrushStyle::Cross:
        return Qt::CrossPattern;
    case BrushStyle::DiagonalCross:
        return Qt::DiagCrossPattern;
    }
    return Qt::NoBrush;
}

// A GDI box (right and bottom exclusive) as the rectangle Qt strokes over the same pixels.
QRect gdiBox(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return QRect(left, top, right - left - 1, bottom - top - 1);
}

// The ellipse's own angle (degrees, counter-clockwise, y up) where the ray from its centre
// towards p meets it: Qt's arcs count angles on the ellipse, GDI's by their rays.
double ellipseAngle(const QRectF& box, Point p) {
    const double dx = p.x - box.center().x();
    const double dyUp = box.center().y() - p.y;
    const double rx = box.width() / 2;
    const double ry = box.height() / 2;
    return std::atan2(dyUp * rx, dx * ry) * 180.0 / std::numbers::pi;
}

} // namespace

PainterSurface::PainterSurface(QPaintDevice* device) : device_(device) {}

void PainterSurface::attach(QPainter* painter) {
    painter_ = painter;
    if (painter_)
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
}

const PainterSurface::CachedFont& PainterSurface::cachedFont() {
    FontSpec spec = font();
    spec.escapement = 0;
    if (!font_ || !(font_->spec == spec)) {
        QFont qfont = qtFontFor(spec, device_->logicalDpiY());
        font_.emplace(CachedFont{spec, qfont, QFontMetrics(qfont, device_)});
    }
    return *font_;
}

QFont PainterSurface::currentQFont() {
    return cachedFont().font;
}

void PainterSurface::usePenAndBrush(bool filled) {
    QPen pen(qtColor(penColor()));
    pen.setWidth(penWidth());
    // Round ends as on a GDI geometric pen; one-pixel lines keep Qt's fast line path.
    if (penWidth() > 1) {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    painter_->setPen(pen);
    painter_->setBrush(filled ? QBrush(qtColor(brushColor()), qtBrushStyle(brushStyle()))
                              : QBrush(Qt::NoBrush));
}

void PainterSurface::textOut(std::int32_t x, std::int32_t y, std::string_view utf8) {
    if (!painter_ || utf8.empty())
        return;
    const CachedFont& f = cachedFont();
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const bool opaque = brushStyle() == BrushStyle::Solid;
    if (font().escapement != 0 && keepTurnedText_) {
        const TurnedText& turned = turnedText(f, text, opaque);
        painter_->drawImage(QPoint(x, y) + turned.offset, turned.image);
        return;
    }
    painter_->save();
    painter_->translate(x, y);
    drawText(f, text, opaque);
    painter_->restore();
}

// The text with its cell's corner at the painter's origin, turned by the escapement.
void PainterSurface::drawText(const CachedFont& f, const QString& text, bool opaque) {
    if (font().escapement != 0)
        painter_->rotate(-font().escapement / 10.0);
    if (opaque)
        painter_->fillRect(QRect(0, 0, f.metrics.horizontalAdvance(text), f.metrics.height()),
                           qtColor(brushColor()));
    painter_->setFont(f.font);
    painter_->setPen(qtColor(font().color));
    painter_->drawText(QPoint(0, f.metrics.ascent()), text);
}

const PainterSurface::TurnedText& PainterSurface::turnedText(const CachedFont& f, const QString& text,
                                                             bool opaque) {
    const Color ink = font().color;
    const Color cell = brushColor();
    const QString key =
        QStringLiteral("%1|%2|%3,%4,%5|%6|%7")
            .arg(f.font.key())
            .arg(font().escapement)
            .arg(ink.red)
            .arg(ink.green)
            .arg(ink.blue)
            .arg(opaque ? QColor(cell.red, cell.green, cell.blue).name() : QStringLiteral("-"))
            .arg(text);
    if (const auto found = turned_.constFind(key); found != turned_.constEnd())
        return *found;

    QTransform turn;
    turn.rotate(-font().escapement / 10.0);
    const QRect cellRect(0, 0, f.metrics.horizontalAdvance(text), f.metrics.height());
    const QRect bounds = turn.mapRect(QRectF(cellRect)).toAlignedRect().adjusted(-1, -1, 1, 1);
    const qreal ratio = painter_->device()->devicePixelRatioF();
    TurnedText turned;
    turned.offset = bounds.topLeft();
    turned.image = QImage((QSizeF(bounds.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    turned.image.setDevicePixelRatio(ratio);
    turned.image.fill(Qt::transparent);
    QPainter* screen = painter_;
    QPainter picture(&turned.image);
    picture.setRenderHint(QPainter::TextAntialiasing, true);
    picture.translate(-bounds.topLeft());
    painter_ = &picture;
    drawText(f, text, opaque);
    painter_ = screen;
    picture.end();

    // A bounded cache: zooming in makes new pictures, the old ones go.
    if (turnedBytes_ > 64 * 1024 * 1024) {
        turned_.clear();
        turnedBytes_ = 0;
    }
    turnedBytes_ += turned.image.sizeInBytes();
    return *turned_.insert(key, std::move(turned));
}

Extent PainterSurface::textExtent(std::string_view utf8) {
    const CachedFont& f = cachedFont();
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return {f.metrics.horizontalAdvance(text), f.metrics.height()};
}

void PainterSurface::line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    if (!painter_)
        return;
    usePenAndBrush(false);
    painter_->drawLine(x1, y1, x2, y2);
}

void PainterSurface::polyline(const std::vector<Point>& points) {
    if (!painter_ || points.empty())
        return;
    usePenAndBrush(false);
    QPolygon polygon;
    for (const auto& p : points)
        polygon << QPoint(p.x, p.y);
    painter_->drawPolyline(polygon);
}

void PainterSurface::rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (!painter_)
        return;
    usePenAndBrush(true);
    painter_->drawRect(gdiBox(left, top, right, bottom));
}

void PainterSurface::roundRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                               std::int32_t cornerWidth, std::int32_t cornerHeight) {
    if (!painter_)
        return;
    usePenAndBrush(true);
    painter_->drawRoundedRect(gdiBox(left, top, right, bottom), cornerWidth / 2.0, cornerHeight / 2.0);
}

void PainterSurface::ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (!painter_)
        return;
    usePenAndBrush(true);
    painter_->drawEllipse(gdiBox(left, top, right, bottom));
}

void PainterSurface::arc(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                         Point start, Point end) {
    if (!painter_)
        return;
    usePenAndBrush(false);
    const QRectF box = gdiBox(left, top, right, bottom);
    const double from = ellipseAngle(box, start);
    double span = ellipseAngle(box, end) - from;
    while (span <= 0)
        span += 360; // counter-clockwise; the same ray twice is the whole ellipse
    painter_->drawArc(box, static_cast<int>(std::lround(from * 16)),
                      static_cast<int>(std::lround(span * 16)));
}

} // namespace spylerom::printing
