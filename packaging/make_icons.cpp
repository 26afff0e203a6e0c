// Renders the emblem (gui/emblem_drawing) as the desktop's menu icons: one PNG per size, a
// white tile with rounded corners, transparent outside them. Run by the build:
//   make_icons OUTPUT_FOLDER NAME SIZE...
// writes OUTPUT_FOLDER/hicolor/SIZExSIZE/apps/NAME.png. The same sources give the same files.
#include "gui/emblem_drawing.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kLargestSize = 1024;

// The emblem at side pixels: drawn at four times the size (at least the design size) and scaled
// down smoothly, so that the small sizes keep their lines.
QImage renderIcon(int side) {
    const int drawn = std::max(spylerom::gui::kEmblemDesignSize, 4 * side);
    QImage large(drawn, drawn, QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::transparent);
    {
        QPainter p(&large);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal scale = qreal(drawn) / spylerom::gui::kEmblemDesignSize;
        p.scale(scale, scale);
        QPainterPath tile;
        const qreal corner = spylerom::gui::kEmblemDesignSize * 0.14;
        tile.addRoundedRect(QRectF(0, 0, spylerom::gui::kEmblemDesignSize, spylerom::gui::kEmblemDesignSize),
                            corner, corner);
        p.fillPath(tile, Qt::white);
        p.setClipPath(tile);
        spylerom::gui::drawEmblem(p);
    }
    return large.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

// A size argument: a whole number of pixels from 16 to kLargestSize; 0 when it is not one.
int parseSize(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 16 || value > kLargestSize)
        return 0;
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER NAME SIZE...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int side = parseSize(argv[i]);
        if (side == 0) {
            std::fprintf(stderr, "make_icons: '%s' is no icon size (16 to %d pixels)\n", argv[i],
                         kLargestSize);
            return 2;
        }
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(side);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !renderIcon(side).save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
