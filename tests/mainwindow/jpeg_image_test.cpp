// The libjpeg decoder: real JPEG files made by libjpeg, good and damaged.
#include "gui/jpeg_image.h"
#include "jpeg_encode.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QPainter>
#include <cstdlib>
#include <gtest/gtest.h>

namespace spylerom::test {
namespace {

using gui::decodeJpeg;
using gui::loadJpeg;

// Four flat quadrants: red, green, blue, white.
QImage quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height / 2, QColor(220, 20, 20));
    p.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(20, 200, 40));
    p.fillRect(0, height / 2, width / 2, height - height / 2, QColor(30, 40, 210));
    p.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::white);
    return image;
}

bool near(QRgb got, QRgb want, int tolerance) {
    return std::abs(qRed(got) - qRed(want)) <= tolerance &&
           std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(got) - qBlue(want)) <= tolerance;
}

struct GoodCase {
    const char* name;
    JpegOptions options;
};

class DecodeGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(DecodeGood, GivesThePictureItsSizeAndColours) {
    const QImage source = quadrants(48, 32);
    const QByteArray bytes = encodeJpeg(source, GetParam().options);
    ASSERT_FALSE(bytes.isEmpty());
    QString error = QStringLiteral("stale");
    const QImage decoded = decodeJpeg(bytes, &error);
    ASSERT_FALSE(decoded.isNull()) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(decoded.size(), source.size());
    for (const QPoint at : {QPoint(12, 8), QPoint(36, 8), QPoint(12, 24), QPoint(36, 24)}) {
        // A grey picture decodes to the grey its encoder was given.
        const QRgb want = GetParam().options.grayscale
                              ? source.convertToFormat(QImage::Format_Grayscale8).pixel(at)
                              : source.pixel(at);
        EXPECT_TRUE(near(decoded.pixel(at), want, 12))
            << at.x() << "," << at.y() << " got " << std::hex << decoded.pixel(at) << " want " << want;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DecodeGood,
                         ::testing::Values(GoodCase{"Baseline", {}},
                                           GoodCase{"Progressive", {.progressive = true}},
                                           GoodCase{"Grayscale", {.grayscale = true}},
                                           GoodCase{"LowQuality", {.quality = 30}}),
                         [](const auto& test) { return std::string(test.param.name); });

struct DamagedCase {
    const char* name;
    QByteArray (*make)(const QByteArray& good);
};

class DecodeDamaged : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DecodeDamaged, GivesANullImageAndAReason) {
    const QByteArray good = encodeJpeg(quadrants(64, 64));
    QString error;
    const QImage decoded = decodeJpeg(GetParam().make(good), &error);
    EXPECT_TRUE(decoded.isNull());
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, DecodeDamaged,
    ::testing::Values(
        DamagedCase{"Empty", [](const QByteArray&) { return QByteArray(); }},
        DamagedCase{"NotAJpeg", [](const QByteArray&) { return QByteArray("GIF89a\x01\x00\x01\x00", 10); }},
        DamagedCase{"HeaderOnly", [](const QByteArray& good) { return good.left(200); }},
        DamagedCase{"CutInTheMiddle", [](const QByteArray& good) { return good.left(good.size() / 2); }},
        DamagedCase{"ScanDataGarbled",
                    [](const QByteArray& good) {
                        QByteArray bad = good;
                        // Markers inside the scan data: libjpeg can only warn and guess.
                        for (qsizetype i = bad.size() / 2; i < bad.size() / 2 + 40; i += 2) {
                            bad[i] = char(0xFF);
                            bad[i + 1] = char(0xD0 + (i % 8));
                        }
                        return bad;
                    }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(JpegImage, RefusesAHeaderThatAsksForAHugePictureBeforeTakingItsMemory) {
    QByteArray bytes = encodeJpeg(quadrants(16, 16));
    // The frame header (SOF0: FF C0, length, precision, height, width) claims 60000 x 60000.
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    for (qsizetype at : {sof + 5, sof + 7}) {
        bytes[at] = char(0xEA);
        bytes[at + 1] = char(0x60);
    }
    QString error;
    EXPECT_TRUE(decodeJpeg(bytes, &error).isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("too large"))) << error.toStdString();
}

TEST(JpegImage, LoadsFilesAndResourcesAndNamesAMissingFile) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("picture.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(encodeJpeg(quadrants(10, 6)));
    file.close();
    EXPECT_EQ(loadJpeg(path).size(), QSize(10, 6));

    const QImage emblem = loadJpeg(QStringLiteral(":/mainwindow/spylerom-emblem.jpg"));
    EXPECT_EQ(emblem.size(), QSize(65, 65));

    QString error;
    const QString missing = QString::fromStdString(dir.file("missing.jpg"));
    EXPECT_TRUE(loadJpeg(missing, &error).isNull());
    EXPECT_TRUE(error.startsWith(missing)) << error.toStdString();
}

} // namespace
} // namespace spylerom::test
