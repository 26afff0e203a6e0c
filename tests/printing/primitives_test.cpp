// The drawing primitives on a recording surface: device coordinates, pen, brush and font state,
// and the text metrics they leave in PageState.
#include "page_fixture.h"

#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/primitives.h"

namespace spylerom::printing::test {
namespace {

using Kind = RecordedOp::Kind;

// Text 7 pixels a character and 20 pixels high, whatever the font.
Extent fixedMetrics(const FontSpec&, std::int32_t, std::string_view utf8) {
    return {7 * codePointCount(utf8), 20};
}

struct LineWidthCase {
    std::int32_t zoom;
    std::int32_t n;
    std::int32_t pixels;
};

class LineWidths : public PageTest, public ::testing::WithParamInterface<LineWidthCase> {};

TEST_P(LineWidths, ThirdsOfAMillimetreInWholePixels) {
    layOut({}, GetParam().zoom);
    SetLineWidth(GetParam().n);
    EXPECT_EQ(surface_.penWidth(), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Zooms, LineWidths,
                         ::testing::Values(LineWidthCase{1, 1, 1}, LineWidthCase{1, 3, 1},
                                           LineWidthCase{2, 2, 1}, LineWidthCase{2, 5, 1},
                                           LineWidthCase{5, 1, 1}, LineWidthCase{5, 2, 2},
                                           LineWidthCase{5, 4, 4}, LineWidthCase{6, 3, 6},
                                           LineWidthCase{5, 0, 1}, LineWidthCase{5, -2, 1}));

TEST_F(PageTest, LineWidthOnThe4760PixelPrinterIsSevenPerThird) {
    FixedPrinter printer(4760, 6736);
    page().Printer = &printer;
    page().Printing = true;
    ResetView();
    for (std::int32_t n : {1, 2, 3}) {
        SetLineWidth(n);
        EXPECT_EQ(surface_.penWidth(), 7 * n);
    }
}

struct FontSizeCase {
    std::int32_t points;
    std::int32_t preview;
};

class FontSizes : public PageTest, public ::testing::WithParamInterface<FontSizeCase> {};

TEST_P(FontSizes, PreviewScalesWithTheZoomPrinterKeepsTheSize) {
    layOut();
    SetFontSize(GetParam().points);
    EXPECT_EQ(surface_.font().points, GetParam().preview);

    FixedPrinter printer(4760, 6736);
    page().Printer = &printer;
    page().Printing = true;
    ResetView();
    SetFontSize(GetParam().points);
    EXPECT_EQ(surface_.font().points, GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(AtZoomFive, FontSizes,
                         ::testing::Values(FontSizeCase{6, 8}, FontSizeCase{8, 10}, FontSizeCase{10, 13},
                                           FontSizeCase{12, 16}, FontSizeCase{16, 21}, FontSizeCase{20, 26},
                                           FontSizeCase{22, 29}));

TEST_F(PageTest, SetFontTakesTheLineHeightOfTheSample) {
    layOut();
    surface_.setMetrics(fixedMetrics);
    SetFont("Courier New", 10);
    EXPECT_EQ(surface_.font().face, "Courier New");
    EXPECT_EQ(page().LineHeight, 5); // 20 px / 5 + 1
    surface_.setMetrics([](const FontSpec&, std::int32_t, std::string_view) { return Extent{0, 24}; });
    SetFont("Arial", 10);
    EXPECT_EQ(page().LineHeight, 5); // 4.8 truncated + 1
}

TEST_F(PageTest, TextAtPlacesTheCellAndNotesTheMetrics) {
    layOut({{"Skriver_VenstreMarg", "2"}, {"Skriver_ToppMarg", "3"}});
    surface_.setMetrics(fixedMetrics);
    page().MaxTextWidth = 0;
    TextAt(4, 5, "abcdef"); // 42 px = 8.4 mm
    const RecordedOp* op = surface_.findText("abcdef");
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->points[0], (Point{30, 40})); // (4 + 2) * 5, (5 + 3) * 5
    EXPECT_EQ(page().MaxTextWidth, 8);
    EXPECT_EQ(page().LineHeight, 5);
    TextAt(0, 0, "abc");
    EXPECT_EQ(page().MaxTextWidth, 8); // only ever grows
    TextAt(0, 0, "Æøå æøå æøå æøå");   // 15 characters, 105 px
    EXPECT_EQ(page().MaxTextWidth, 21);
    EXPECT_NE(surface_.findText("Æøå æøå æøå æøå"), nullptr);
}

TEST_F(PageTest, TextLineAdvancesOnlyWithAutoAdvance) {
    layOut();
    surface_.setMetrics(fixedMetrics);
    SetOriginY(10);
    TextLine("a");
    TextLine("b");
    EXPECT_EQ(page().OriginY, 10);
    EXPECT_EQ(surface_.findText("b")->points[0], (Point{5, 50}));
    page().AutoAdvance = true;
    TextLine("c");
    TextLine("d");
    EXPECT_EQ(page().OriginY, 20);
    EXPECT_EQ(surface_.findText("c")->points[0], (Point{5, 50}));
    EXPECT_EQ(surface_.findText("d")->points[0], (Point{5, 75}));
}

TEST_F(PageTest, TextRightEndsAtTheSameColumn) {
    layOut({{"Skriver_VenstreMarg", "10"}});
    surface_.setMetrics(fixedMetrics);
    SetOriginX(10);
    TextRight(100, "Test 123"); // 56 px: (999 - 56) / 5 = 188 - 100 - 1 = 87
    EXPECT_EQ(surface_.findText("Test 123")->points[0].x, (87 + 20) * 5);
    TextRight(100, "Samme vertikale linje"); // 147 px: (999 - 147) / 5 = 170 - 101 = 69
    EXPECT_EQ(surface_.findText("Samme vertikale linje")->points[0].x, (69 + 20) * 5);
}

TEST_F(PageTest, TextRotatedTurnsACopyOfTheFont) {
    layOut();
    surface_.setMetrics(fixedMetrics);
    SetFont("Arial", 12);
    page().MaxTextWidth = 0;
    TextRotated(450, 100, 250, "Rotert");
    const RecordedOp* op = surface_.findText("Rotert");
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->font.escapement, 450);
    EXPECT_EQ(op->font.face, "Arial");
    EXPECT_EQ(op->points[0], (Point{500, 1250}));
    EXPECT_EQ(surface_.font().escapement, 0);
    EXPECT_EQ(surface_.font().points, 16);
    EXPECT_EQ(page().MaxTextWidth, 8); // 42 px
}

TEST_F(PageTest, FooterSitsAboveTheBottomEdgeAndKeepsTheMetrics) {
    layOut({{"Skriver_VenstreMarg", "10"}, {"Skriver_BunnMarg", "10"}, {"Skriver_Font", "Times New Roman"}});
    surface_.setMetrics(fixedMetrics);
    SetFont("Arial", 22);
    page().LineHeight = 9;
    page().MaxTextWidth = 3;
    surface_.font().color = kWhite;
    FooterText("tegningskilde: TEST", 1);
    const auto texts = surface_.opsOf(Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].points[0], (Point{25 + 50, 1434 - 30})); // BottomEdge 1434, sample 20 px + 10
    EXPECT_NE(texts[0].text.find("tegningskilde: TEST"), std::string::npos);
    EXPECT_EQ(texts[0].font.face, "Times New Roman");
    EXPECT_EQ(texts[0].font.points, 10); // 8 points in the preview at zoom 5
    EXPECT_EQ(texts[0].font.color, kBlack);
    EXPECT_EQ(page().LineHeight, 9);
    EXPECT_EQ(page().MaxTextWidth, 3);
    EXPECT_EQ(surface_.font().face, "Times New Roman"); // stays in effect

    useSettings(dir_, {});
    SetFont("Courier New", 10);
    FooterText("x", 1);
    EXPECT_EQ(surface_.opsOf(Kind::Text).back().font.face, "Courier New");
}

TEST_F(PageTest, LinesEllipsesAndArcsInConvertedPoints) {
    layOut({{"Skriver_VenstreMarg", "2"}});
    SetOriginX(10);
    SetOriginY(40);
    DrawLine(20, 0, 140, 0);
    DrawEllipse(140, 0, 180, 100);
    DrawArc(0, 0, 40, 100, 20, 0, 20, 100);
    const auto& ops = surface_.ops();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, Kind::Line);
    EXPECT_EQ(ops[0].points, (std::vector<Point>{{160, 200}, {860, 200}}));
    EXPECT_EQ(ops[1].kind, Kind::Ellipse);
    EXPECT_EQ(ops[1].points, (std::vector<Point>{{760, 200}, {960, 700}}));
    EXPECT_EQ(ops[2].kind, Kind::Arc);
    EXPECT_EQ(ops[2].points, (std::vector<Point>{{60, 200}, {260, 700}, {160, 200}, {160, 700}}));
}

TEST_F(PageTest, ArrowsAreClosedOutlinesOfEightPoints) {
    layOut({}, 1);
    SetOriginX(10);
    SetOriginY(40);
    DrawArrow(113, 10, 2, 3); // X 123, Y 50, h 1, T 47
    DrawArrow(40, -20, 4, 5); // X 50, Y 20, h 2, L 44
    DrawArrow(0, 0, 2, 4);
    DrawArrow(0, 0, 2, 0);
    const auto arrows = surface_.opsOf(Kind::Polyline);
    ASSERT_EQ(arrows.size(), 2u);
    EXPECT_EQ(arrows[0].points,
              (std::vector<Point>{
                  {125, 49}, {123, 49}, {123, 51}, {125, 51}, {125, 53}, {128, 50}, {125, 47}, {125, 49}}));
    EXPECT_EQ(
        arrows[1].points,
        (std::vector<Point>{{48, 24}, {48, 20}, {52, 20}, {52, 24}, {56, 24}, {50, 30}, {44, 24}, {48, 24}}));
    EXPECT_EQ(surface_.ops().size(), 2u);

    layOut({}, 5);
    SetOriginX(10);
    SetOriginY(40);
    surface_.clear();
    DrawArrow(113, 10, 2, 3);
    EXPECT_EQ(surface_.ops()[0].points[5], (Point{640, 250})); // the tip
}

TEST_F(PageTest, GridStepsFromTheOriginToTheEdges) {
    layOut({}, 1);
    page().OriginX = 5;
    page().OriginY = 25;
    page().RightEdgeMm = 204;
    page().BottomEdgeMm = 40;
    surface_.setPenColor(kGreen);
    surface_.setPenWidth(3);
    DrawGrid(4, kPaleCyan);
    std::vector<std::int32_t> xs, ys;
    for (const auto& op : surface_.opsOf(Kind::Line)) {
        EXPECT_EQ(op.penColor, kPaleCyan);
        EXPECT_EQ(op.penWidth, 1);
        if (op.points[0].x == op.points[1].x) {
            xs.push_back(op.points[0].x);
            EXPECT_EQ(op.points[0].y, 25);
            EXPECT_EQ(op.points[1].y, 40);
        } else {
            ys.push_back(op.points[0].y);
            EXPECT_EQ(op.points[0].x, 6); // 1 mm right of the first vertical line
            EXPECT_EQ(op.points[1].x, 204);
        }
    }
    ASSERT_EQ(xs.size(), 50u); // 5, 9, ..., 201
    EXPECT_EQ(xs.front(), 5);
    EXPECT_EQ(xs.back(), 201);
    EXPECT_EQ(ys, (std::vector<std::int32_t>{25, 29, 33, 37}));
    EXPECT_EQ(surface_.penColor(), kGreen);
    EXPECT_EQ(surface_.penWidth(), 1);

    surface_.clear();
    page().OriginX = 4; // 204 - 4 is a multiple of 4
    DrawGrid(4, kPaleCyan);
    EXPECT_EQ(surface_.opsOf(Kind::Line)[50].points[0].x, 204);
}

TEST_F(PageTest, GridWithAStepBelowOneDrawsNothing) {
    layOut();
    DrawGrid(0, kPaleCyan);
    DrawGrid(-4, kPaleCyan);
    EXPECT_TRUE(surface_.ops().empty());
}

TEST_F(PageTest, FrameOutlinesThePrintableArea) {
    layOut({{"Skriver_VenstreMarg", "10"}, {"Skriver_ToppMarg", "5"}, {"Skriver_BunnMarg", "7"}});
    surface_.setBrushColor(kGreen);
    DrawFrame();
    const auto& op = surface_.ops().at(0);
    EXPECT_EQ(op.kind, Kind::Rectangle);
    EXPECT_EQ(op.points, (std::vector<Point>{{50, 25}, {1049, 1449}}));
    EXPECT_EQ(op.penWidth, 2);
    EXPECT_EQ(op.penColor, kBlack);
    EXPECT_EQ(op.brushColor, kGreen);
}

struct HatchCase {
    std::int32_t code;
    BrushStyle style;
};

class HatchedBoxes : public PageTest, public ::testing::WithParamInterface<HatchCase> {};

TEST_P(HatchedBoxes, BlackBrushOfTheStyleUnderAWhitePen) {
    layOut();
    SetOriginX(10);
    SetOriginY(170);
    surface_.setPenColor(kGreen);
    HatchedBox(21, 11, 29, 19, GetParam().code);
    const auto& op = surface_.ops().at(0);
    EXPECT_EQ(op.points, (std::vector<Point>{{155, 905}, {195, 945}}));
    EXPECT_EQ(op.brushStyle, GetParam().style);
    EXPECT_EQ(op.brushColor, kBlack);
    EXPECT_EQ(op.penColor, kWhite);
    EXPECT_EQ(surface_.penColor(), kBlack);
    EXPECT_EQ(surface_.brushColor(), kWhite);
    EXPECT_EQ(surface_.brushStyle(), BrushStyle::Solid);
}

INSTANTIATE_TEST_SUITE_P(
    StyleCodes, HatchedBoxes,
    ::testing::Values(HatchCase{0, BrushStyle::Solid}, HatchCase{1, BrushStyle::Hollow},
                      HatchCase{2, BrushStyle::Horizontal}, HatchCase{3, BrushStyle::Vertical},
                      HatchCase{4, BrushStyle::ForwardDiagonal}, HatchCase{5, BrushStyle::BackwardDiagonal},
                      HatchCase{6, BrushStyle::Cross}, HatchCase{7, BrushStyle::DiagonalCross},
                      HatchCase{8, BrushStyle::Hollow}, HatchCase{-1, BrushStyle::Hollow}));

TEST_F(PageTest, OverflowStopsTheDrawingAndKeepsWhatWasDrawn) {
    layOut();
    DrawLine(0, 0, 10, 0);
    EXPECT_THROW(DrawLine(0, 0, 2147483647, 0), PageError);
    EXPECT_THROW(DrawArrow(0, 0, 1500000000, 3), PageError);
    EXPECT_THROW(SetFontSize(2000000000), PageError);
    EXPECT_THROW(TextAt(500000000, 0, "x"), PageError);
    ASSERT_EQ(surface_.ops().size(), 1u);
    EXPECT_EQ(surface_.ops()[0].points[1], (Point{50, 0}));
}

} // namespace
} // namespace spylerom::printing::test
