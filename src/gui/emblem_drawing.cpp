// The emblem's drawing, in the coordinates of a kEmblemDesignSize square.
#include "gui/emblem_drawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace spylerom::gui {

namespace {

void drawPlatter(QPainter& p) {
    QRadialGradient metal(QPointF(100, 112), 118, QPointF(80, 90));
    metal.setColorAt(0, QColor(0xf4, 0xf6, 0xf8));
    metal.setColorAt(0.7, QColor(0xbc, 0xc4, 0xcc));
    metal.setColorAt(1, QColor(0x8a, 0x94, 0x9e));
    p.setPen(QPen(QColor(0x3c, 0x46, 0x50), 6));
    p.setBrush(metal);
    p.drawEllipse(QPointF(120, 136), 104, 104);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 150), 3));
    for (int r : {84, 64, 44})
        p.drawEllipse(QPointF(120, 136), r, r);
    p.setPen(QPen(QColor(0x3c, 0x46, 0x50), 4));
    p.setBrush(QColor(0x5a, 0x64, 0x6e));
    p.drawEllipse(QPointF(120, 136), 20, 20);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(120, 136), 6, 6);
}

void drawWave(QPainter& p) {
    QPainterPath wave;
    wave.moveTo(0, 180);
    wave.cubicTo(50, 120, 100, 210, 160, 150);
    wave.cubicTo(200, 110, 235, 130, 260, 100);
    wave.lineTo(260, 260);
    wave.lineTo(0, 260);
    wave.closeSubpath();
    QLinearGradient water(0, 100, 0, 260);
    water.setColorAt(0, QColor(0x3a, 0x8e, 0xe6, 225));
    water.setColorAt(1, QColor(0x0a, 0x2a, 0x80, 240));
    p.setPen(Qt::NoPen);
    p.setBrush(water);
    p.drawPath(wave);

    QPainterPath crest;
    crest.moveTo(0, 180);
    crest.cubicTo(50, 120, 100, 210, 160, 150);
    crest.cubicTo(200, 110, 235, 130, 260, 100);
    p.setPen(QPen(QColor(0xe8, 0xf4, 0xff), 7, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(crest);
}

void drawDrops(QPainter& p) {
    p.setPen(QPen(QColor(0x0a, 0x2a, 0x80), 3));
    p.setBrush(QColor(0x7c, 0xc0, 0xff));
    for (const QPointF& at : {QPointF(214, 40), QPointF(240, 74), QPointF(186, 18)}) {
        QPainterPath drop;
        drop.moveTo(at + QPointF(0, -16));
        drop.cubicTo(at + QPointF(12, 0), at + QPointF(10, 12), at + QPointF(0, 12));
        drop.cubicTo(at + QPointF(-10, 12), at + QPointF(-12, 0), at + QPointF(0, -16));
        p.drawPath(drop);
    }
}

} // namespace

void drawEmblem(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    drawPlatter(p);
    drawWave(p);
    drawDrops(p);
    p.restore();
}

} // namespace spylerom::gui
