// Renders the emblem (gui/emblem_drawing) as the program's icons: a white tile with rounded
// corners, transparent outside them. Run by the build:
//   make_icons OUTPUT_FOLDER NAME SIZE...
// writes OUTPUT_FOLDER/hicolor/SIZExSIZE/apps/NAME.png, the desktop's menu icons. Run by hand
// when the emblem changes:
//   make_icons --ico FILE SIZE...
// writes a Windows icon: 32-bit bitmaps for the sizes below 256, a PNG for 256, as Windows
// expects. resources/win32/spylerom.ico is made with the sizes 16 20 24 32 40 48 64 256 (the
// build's make_icons target). The same sources give the same files.
#include "gui/emblem_drawing.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

void appendLe(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// One icon image as the .ico format holds it: a PNG at 256 pixels, else a BITMAPINFOHEADER with
// twice the height, the colour rows bottom-up (BGRA) and an all-clear AND mask (alpha decides).
QByteArray icoImage(int side) {
    const QImage image = renderIcon(side);
    QByteArray out;
    if (side >= 256) {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return out;
    }
    appendLe(out, 40, 4);
    appendLe(out, static_cast<quint32>(side), 4);
    appendLe(out, static_cast<quint32>(2 * side), 4);
    appendLe(out, 1, 2);  // planes
    appendLe(out, 32, 2); // bits per pixel
    for (int i = 0; i < 6; ++i)
        appendLe(out, 0, 4); // BI_RGB, image size, resolution, colours
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x)
            appendLe(out, image.pixel(x, y), 4); // 0xAARRGGBB little-endian: B, G, R, A
    const int maskRow = ((side + 31) / 32) * 4;
    out.append(QByteArray(maskRow * side, '\0'));
    return out;
}

// The icon file of the given sizes; false when it cannot be written.
bool writeIco(const QString& path, const std::vector<int>& sides) {
    std::vector<QByteArray> images;
    for (const int side : sides)
        images.push_back(icoImage(side));
    QByteArray out;
    appendLe(out, 0, 2);
    appendLe(out, 1, 2); // an icon, not a cursor
    appendLe(out, static_cast<quint32>(sides.size()), 2);
    quint32 offset = static_cast<quint32>(6 + 16 * sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
        const quint32 side = sides[i] >= 256 ? 0 : static_cast<quint32>(sides[i]); // 0 means 256
        appendLe(out, side, 1);
        appendLe(out, side, 1);
        appendLe(out, 0, 2); // no palette, reserved
        appendLe(out, 1, 2); // planes
        appendLe(out, 32, 2);
        appendLe(out, static_cast<quint32>(images[i].size()), 4);
        appendLe(out, offset, 4);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& image : images)
        out.append(image);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.flush();
}

int makeIco(int argc, char** argv) {
    std::vector<int> sides;
    for (int i = 3; i < argc; ++i) {
        const int side = parseSize(argv[i]);
        if (side == 0 || side > 256) {
            std::fprintf(stderr, "make_icons: '%s' is no .ico size (16 to 256 pixels)\n", argv[i]);
            return 2;
        }
        sides.push_back(side);
    }
    if (!writeIco(QString::fromLocal8Bit(argv[2]), sides)) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER NAME SIZE...\n"
                             "       make_icons --ico FILE SIZE...\n");
        return 2;
    }
    if (std::string(argv[1]) == "--ico")
        return makeIco(argc, argv);
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
