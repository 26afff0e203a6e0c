// Writes the main window's emblem (gui/emblem_drawing) as a 65 x 65 JPEG with libjpeg:
// make_emblem resources/spylerom-emblem.jpg. Run once when the picture changes; the program
// carries the resulting file.
#include "gui/emblem_drawing.h"
#include "jpeg_encode.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_emblem OUTPUT.jpg\n");
        return 2;
    }
    QImage large(spylerom::gui::kEmblemDesignSize, spylerom::gui::kEmblemDesignSize, QImage::Format_RGB32);
    large.fill(Qt::white);
    {
        QPainter p(&large);
        spylerom::gui::drawEmblem(p);
    }
    const QImage emblem = large.scaled(65, 65, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QByteArray bytes = spylerom::test::encodeJpeg(emblem, {.quality = 92});
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (bytes.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_emblem: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
