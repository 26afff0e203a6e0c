// Draws the maker's logo for the system information dialog (a sun rising over green fields, on
// white so it sits on the dialog's white header) and writes it as a 73 x 73 JPEG with libjpeg:
// make_logo resources/solvarek-logo.jpg. Run once when the picture changes; the program carries
// the resulting file.
#include "mainwindow/jpeg_encode.h"

#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>

namespace {

constexpr int kSize = 292; // drawn at four times the final size, then scaled down smoothly

void drawSun(QPainter& p) {
    const QPointF centre(146, 150);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xa9, 0x00));
    for (int i = 0; i < 12; ++i) {
        const double a = qDegreesToRadians(i * 30.0 + 15);
        const QPointF tip = centre + QPointF(std::cos(a) * 128, -std::sin(a) * 128);
        const QPointF left = centre + QPointF(std::cos(a - 0.13) * 76, -std::sin(a - 0.13) * 76);
        const QPointF right = centre + QPointF(std::cos(a + 0.13) * 76, -std::sin(a + 0.13) * 76);
        p.drawPolygon(QPolygonF({left, tip, right}));
    }
    QRadialGradient glow(centre, 70, centre - QPointF(20, 24));
    glow.setColorAt(0, QColor(0xff, 0xf1, 0x9a));
    glow.setColorAt(1, QColor(0xf7, 0xb5, 0x00));
    p.setBrush(glow);
    p.setPen(QPen(QColor(0xd9, 0x84, 0x00), 5));
    p.drawEllipse(centre, 66, 66);
}

void drawFields(QPainter& p) {
    QPainterPath back;
    back.moveTo(0, 196);
    back.cubicTo(80, 160, 190, 170, kSize, 188);
    back.lineTo(kSize, kSize);
    back.lineTo(0, kSize);
    back.closeSubpath();
    QLinearGradient far(0, 160, 0, kSize);
    far.setColorAt(0, QColor(0x4c, 0xb0, 0x3c));
    far.setColorAt(1, QColor(0x1f, 0x7a, 0x1f));
    p.setPen(Qt::NoPen);
    p.setBrush(far);
    p.drawPath(back);

    QPainterPath front;
    front.moveTo(0, 250);
    front.cubicTo(90, 200, 200, 214, kSize, 236);
    front.lineTo(kSize, kSize);
    front.lineTo(0, kSize);
    front.closeSubpath();
    p.setBrush(QColor(0x00, 0x80, 0x00)); // the green of the dialog's title
    p.drawPath(front);

    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 170), 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath furrow;
    furrow.moveTo(40, 276);
    furrow.cubicTo(110, 238, 190, 236, 262, 252);
    p.drawPath(furrow);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_logo OUTPUT.jpg\n");
        return 2;
    }
    QImage large(kSize, kSize, QImage::Format_RGB32);
    large.fill(Qt::white);
    {
        QPainter p(&large);
        p.setRenderHint(QPainter::Antialiasing);
        drawSun(p);
        drawFields(p);
    }
    const QImage logo = large.scaled(73, 73, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QByteArray bytes = spylerom::test::encodeJpeg(logo, {.quality = 92});
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (bytes.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_logo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
