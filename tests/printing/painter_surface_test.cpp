// The QPainter surface: the faces the page names resolve to metric-compatible installed fonts,
// points become GDI's pixel heights, and text cells are opaque only under a solid brush.
#include "printing/page_arithmetic.h"
#include "printing/ui/font_faces.h"
#include "printing/ui/painter_surface.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <gtest/gtest.h>

namespace spylerom::printing::test {
namespace {

struct FaceCase {
    const char* face;
    QStringList compatible;
    bool heavy;
};

class FontFaces : public ::testing::TestWithParam<FaceCase> {};

TEST_P(FontFaces, ResolveToAMetricCompatibleFace) {
    FontSpec spec;
    spec.face = GetParam().face;
    spec.points = 12;
    const QFont font = qtFontFor(spec, 96);
    const QFontInfo info(font);
    EXPECT_TRUE(GetParam().compatible.contains(info.family()))
        << GetParam().face << " -> " << info.family().toStdString();
    EXPECT_EQ(info.bold(), GetParam().heavy) << GetParam().face;
    EXPECT_EQ(font.pixelSize(), 16); // MulDiv(12, 96, 72)
}

INSTANTIATE_TEST_SUITE_P(PageFaces, FontFaces,
                         ::testing::Values(FaceCase{"Arial", {"Liberation Sans", "Arimo"}, false},
                                           FaceCase{"Courier New", {"Liberation Mono", "Cousine"}, false},
                                           FaceCase{"Times New Roman", {"Liberation Serif", "Tinos"}, false},
                                           FaceCase{"Arial Black", {"Liberation Sans", "Arimo"}, true},
                                           FaceCase{"arial black", {"Liberation Sans", "Arimo"}, true}));

TEST(FontFaces, ArialMeasuresLikeItsMetricTwin) {
    FontSpec arial;
    arial.face = "Arial";
    arial.points = 30;
    FontSpec twin = arial;
    twin.face = "Liberation Sans";
    const QString sample = QStringLiteral("Dette er en test 123 ÆØÅ");
    QImage image(10, 10, QImage::Format_RGB32);
    EXPECT_EQ(QFontMetrics(qtFontFor(arial, 96), &image).horizontalAdvance(sample),
              QFontMetrics(qtFontFor(twin, 96), &image).horizontalAdvance(sample));
}

TEST(FontFaces, PointsBecomePixelsAtTheDeviceResolution) {
    FontSpec spec;
    for (const auto& [points, dpi] :
         {std::pair{10, 96}, std::pair{13, 96}, std::pair{12, 1200}, std::pair{8, 600}}) {
        spec.points = points;
        EXPECT_EQ(qtFontFor(spec, dpi).pixelSize(), mulDiv32(points, dpi, 72)) << points << " pt at " << dpi;
    }
    spec.points = 0;
    EXPECT_EQ(qtFontFor(spec, 96).pixelSize(), 1);
}

class PainterSurfaceTest : public ::testing::Test {
protected:
    PainterSurfaceTest() : image_(300, 200, QImage::Format_RGB32), surface_(&image_) {
        image_.fill(Qt::white);
    }
    QRgb pixel(int x, int y) const { return image_.pixel(x, y); }

    QImage image_;
    PainterSurface surface_;
};

TEST_F(PainterSurfaceTest, TextCellIsOpaqueOnlyUnderASolidBrush) {
    QPainter painter(&image_);
    painter.fillRect(0, 0, 300, 200, Qt::red);
    surface_.attach(&painter);
    surface_.font().points = 20;
    surface_.setBrushColor(kGreen);
    surface_.textOut(10, 10, "  ");
    surface_.setBrushStyle(BrushStyle::Hollow);
    surface_.textOut(10, 100, "  ");
    painter.end();
    EXPECT_EQ(QColor(pixel(14, 18)), QColor(0, 128, 0));
    EXPECT_EQ(QColor(pixel(14, 108)), QColor(Qt::red));
}

TEST_F(PainterSurfaceTest, ExtentsWorkWithoutAPainterAndDrawingIsSkipped) {
    surface_.font().points = 12;
    const Extent one = surface_.textExtent("M");
    const Extent two = surface_.textExtent("MM");
    EXPECT_GT(one.width, 0);
    EXPECT_NEAR(two.width, 2 * one.width, 1); // advances are fractional without hinting
    EXPECT_GE(one.height, 16);
    surface_.line(0, 0, 100, 100);
    surface_.rectangle(0, 0, 50, 50);
    EXPECT_EQ(QColor(pixel(20, 20)), QColor(Qt::white));
}

TEST_F(PainterSurfaceTest, ShapesUseThePenAndTheBrush) {
    QPainter painter(&image_);
    surface_.attach(&painter);
    surface_.setBrushColor(kGreen);
    surface_.setPenColor(kBlack);
    surface_.setPenWidth(3);
    surface_.rectangle(10, 10, 60, 60);
    surface_.setBrushStyle(BrushStyle::Hollow);
    surface_.ellipse(100, 10, 200, 110);
    surface_.setPenWidth(1);
    // The left half of an ellipse: counter-clockwise from the top middle to the bottom middle.
    surface_.arc(220, 10, 280, 110, {250, 10}, {250, 110});
    painter.end();
    EXPECT_EQ(QColor(pixel(35, 35)), QColor(0, 128, 0));  // filled
    EXPECT_EQ(QColor(pixel(10, 35)), QColor(Qt::black));  // outlined
    EXPECT_EQ(QColor(pixel(150, 60)), QColor(Qt::white)); // hollow
    EXPECT_EQ(QColor(pixel(100, 60)), QColor(Qt::black)); // its outline
    EXPECT_NE(QColor(pixel(220, 60)), QColor(Qt::white)); // the arc's left side is drawn
    EXPECT_EQ(QColor(pixel(278, 60)), QColor(Qt::white)); // its right side is not
}

class TurnedText : public PainterSurfaceTest, public ::testing::WithParamInterface<bool> {};

// Drawn directly, or (as the preview does) kept as a picture and drawn twice from it.
TEST_P(TurnedText, TurnsAboutItsCellCorner) {
    surface_.setKeepTurnedText(GetParam());
    QPainter painter(&image_);
    surface_.attach(&painter);
    surface_.font().points = 20;
    surface_.setBrushColor(kGreen);
    surface_.font().escapement = 900; // upwards
    surface_.textOut(150, 150, "MMMM");
    if (GetParam()) {
        painter.fillRect(0, 0, 300, 200, Qt::white);
        surface_.textOut(150, 150, "MMMM");
    }
    painter.end();
    // The cell runs up from (150, 150), to the right of x 150 after the turn to the left.
    EXPECT_EQ(QColor(pixel(155, 120)), QColor(0, 128, 0));
    EXPECT_EQ(QColor(pixel(175, 145)), QColor(0, 128, 0));
    EXPECT_EQ(QColor(pixel(195, 120)), QColor(Qt::white)); // beyond the cell's height
    EXPECT_EQ(QColor(pixel(140, 120)), QColor(Qt::white));
    EXPECT_EQ(QColor(pixel(155, 160)), QColor(Qt::white));
}

INSTANTIATE_TEST_SUITE_P(DirectOrKept, TurnedText, ::testing::Bool());

} // namespace
} // namespace spylerom::printing::test
