// The page model's arithmetic and layout: truncation, rounding, overflow, and the page area,
// edges and scale for the preview and for a printer.
#include "page_fixture.h"

#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/primitives.h"
#include "printing/test_page.h"

#include <cmath>
#include <limits>

namespace spylerom::printing::test {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(PageArithmetic, TruncatesTowardZeroAndRoundsHalvesToEven) {
    EXPECT_EQ(trunc32(-7.5), -7);
    EXPECT_EQ(trunc32(7.99), 7);
    EXPECT_EQ(trunc32(2147483647.9), kMax);
    EXPECT_EQ(trunc32(-2147483648.9), kMin);
    EXPECT_EQ(round32(2.5), 2);
    EXPECT_EQ(round32(3.5), 4);
    EXPECT_EQ(round32(-2.5), -2);
    EXPECT_EQ(round32(12.500001), 13);
    EXPECT_EQ(mulDiv32(10, 96, 72), 13); // 13.33
    EXPECT_EQ(mulDiv32(3, 3, 2), 5);     // 4.5 away from zero
    EXPECT_EQ(mulDiv32(-3, 3, 2), -5);
}

TEST(PageArithmetic, EveryOverflowIsAnError) {
    EXPECT_THROW(add32(kMax, 1), PageError);
    EXPECT_THROW(sub32(kMin, 1), PageError);
    EXPECT_THROW(mul32(65536, 65536), PageError);
    EXPECT_THROW(trunc32(2147483648.0), PageError);
    EXPECT_THROW(trunc32(-2147483649.0), PageError);
    EXPECT_THROW(trunc32(std::nan("")), PageError);
    EXPECT_THROW(trunc32(INFINITY), PageError);
    EXPECT_THROW(round32(2147483647.5), PageError); // rounds to 2^31
    EXPECT_THROW(mulDiv32(1, 1, 0), PageError);
    EXPECT_THROW(mulDiv32(kMax, 2, 1), PageError);
    EXPECT_EQ(add32(kMax - 1, 1), kMax);
}

TEST_F(PageTest, MmToDevTruncatesTowardZero) {
    page().Scale = 2.5;
    EXPECT_EQ(MmToDev(-3), -7);
    EXPECT_EQ(MmToDev(3), 7);
    page().Scale = 4760.0 / 210;
    EXPECT_EQ(MmToDev(10), 226);
    page().Scale = 1e9;
    EXPECT_THROW(MmToDev(3), PageError);
}

TEST_F(PageTest, FreshPreviewAtZoomFive) {
    layOut();
    EXPECT_EQ(page().Scale, 5.0);
    EXPECT_EQ(page().PageAreaWidth, 1050);
    EXPECT_EQ(page().PageAreaHeight, 1485);
    EXPECT_EQ(page().LeftEdge, 0);
    EXPECT_EQ(page().TopEdge, 0);
    EXPECT_EQ(page().RightEdge, 1049);
    EXPECT_EQ(page().BottomEdge, 1484);
    EXPECT_EQ(page().RightEdgeMm, 209);
    EXPECT_EQ(page().BottomEdgeMm, 296);
    EXPECT_EQ(page().HalfWidthMm, 104);
    EXPECT_EQ(page().OriginX, 0);
    EXPECT_EQ(page().OriginY, 0);
    EXPECT_EQ(view_.width, 1050);
    EXPECT_EQ(view_.height, 1485);
    EXPECT_EQ(view_.top, 0);

    page().Rotated = true;
    ResetView();
    EXPECT_EQ(view_.width, 1485);
    EXPECT_EQ(view_.height, 1050);
    EXPECT_EQ(page().RightEdgeMm, 296);
    EXPECT_EQ(page().BottomEdgeMm, 209);
}

TEST_F(PageTest, MarginsComeFromTheSettingsAtEveryLayout) {
    layOut({{"Skriver_VenstreMarg", "10"},
            {"Skriver_ToppMarg", "15"},
            {"Skriver_HoyreMarg", "10"},
            {"Skriver_BunnMarg", "20"}});
    EXPECT_EQ(page().OriginX, 10);
    EXPECT_EQ(page().OriginY, 15);
    EXPECT_EQ(page().LeftEdge, 50);
    EXPECT_EQ(page().TopEdge, 75);
    EXPECT_EQ(page().RightEdge, 1050 - 50 - 1);
    EXPECT_EQ(page().BottomEdge, 1485 - 100 - 1);
    EXPECT_EQ(page().HalfWidthMm, 94); // (999 - 50) / 2 = 474, / 5 = 94.8
    EXPECT_EQ(page().RightEdgeMm, 199);
    EXPECT_EQ(page().BottomEdgeMm, 276);

    page().OriginX = 77;
    layOut({{"Skriver_VenstreMarg", "3"}});
    EXPECT_EQ(page().OriginX, 3);
    EXPECT_EQ(page().LeftEdge, 15);
    EXPECT_EQ(page().RightEdge, 1049);
}

struct Centring {
    std::int32_t client;
    std::int32_t left;
};

class PageAreaCentring : public PageTest, public ::testing::WithParamInterface<Centring> {};

TEST_P(PageAreaCentring, WiderClientCentresThePageArea) {
    view_.client = GetParam().client;
    layOut();
    EXPECT_EQ(view_.left, GetParam().left);
    EXPECT_EQ(page().PageAreaLeft, GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(ClientWidths, PageAreaCentring,
                         ::testing::Values(Centring{554, 0}, Centring{1050, 0}, Centring{1051, 0},
                                           Centring{1053, 1}, Centring{1100, 25}, Centring{1920, 435}));

TEST_F(PageTest, PrinterSetsOrientationAndScaleFromItsShortSide) {
    FixedPrinter printer(4760, 6736);
    page().Printer = &printer;
    page().Printing = true;
    useSettings(dir_, {{"Skriver_VenstreMarg", "10"}});
    ResetView();
    EXPECT_EQ(printer.orientationCalls, 1);
    EXPECT_FALSE(printer.isLandscape);
    EXPECT_DOUBLE_EQ(page().Scale, 4760.0 / 210);
    EXPECT_EQ(page().PageAreaWidth, 4760);
    EXPECT_EQ(page().PageAreaHeight, 6736);
    EXPECT_EQ(page().LeftEdge, 226);
    EXPECT_EQ(page().RightEdge, 4759);
    SetOriginX(0);
    EXPECT_EQ(page().OriginX, 9); // 226 / 22.667 = 9.97
    SetOriginY(0);
    EXPECT_EQ(page().OriginY, 0);

    page().Rotated = true;
    ResetView();
    EXPECT_TRUE(printer.isLandscape);
    EXPECT_EQ(page().PageAreaWidth, 6736);
    EXPECT_EQ(page().PageAreaHeight, 4760);
    EXPECT_DOUBLE_EQ(page().Scale, 4760.0 / 210); // still the short side
}

TEST_F(PageTest, PrinterWithoutAPrintableAreaFailsTheLayout) {
    FixedPrinter printer(0, 0);
    page().Printer = &printer;
    page().Printing = true;
    EXPECT_THROW(ResetView(), PageError);
}

TEST_F(PageTest, ZoomBelowOneIsLaidOutAsOne) {
    layOut({}, 0);
    EXPECT_EQ(page().Zoom, 1);
    EXPECT_EQ(page().PageAreaWidth, 210);
}

TEST_F(PageTest, HugeZoomOrMarginIsAnErrorNotAWrappedPage) {
    useSettings(dir_, {});
    page().Zoom = 20000000; // 20e6 * 297 does not fit 32 bits
    EXPECT_THROW(ResetView(), PageError);
    page().Zoom = 5;
    useSettings(dir_, {{"Skriver_HoyreMarg", "2147483647"}});
    EXPECT_THROW(ResetView(), PageError);
}

TEST_F(PageTest, NewLinesRoundsHalvesToEven) {
    layOut();
    page().LineHeight = 5;
    page().OriginY = 10;
    NewLines(0.5); // 12.5
    EXPECT_EQ(page().OriginY, 12);
    page().OriginY = 11;
    NewLines(0.5); // 13.5
    EXPECT_EQ(page().OriginY, 14);
    NewLines(1);
    EXPECT_EQ(page().OriginY, 19);
    NewLines(-2);
    EXPECT_EQ(page().OriginY, 9);
}

TEST_F(PageTest, StartValues) {
    ResetPageState();
    EXPECT_EQ(page().Zoom, 5);
    EXPECT_EQ(page().PageWidthMm, 210);
    EXPECT_EQ(page().PageHeightMm, 297);
    EXPECT_FALSE(page().Rotated);
    EXPECT_FALSE(page().Printing);
    EXPECT_EQ(page().Surface, nullptr);
    ASSERT_TRUE(page().PageDrawRoutine);
    EXPECT_EQ(*page().PageDrawRoutine.target<void (*)()>(), &TestPage);
    // The default click only beeps.
    page().View = &view_;
    page().PageClickRoutine(MouseButton::Left, {}, 3, 4);
    EXPECT_EQ(view_.beeps, 1);
    page().View = nullptr;
    EXPECT_NO_THROW(page().PageClickRoutine(MouseButton::Left, {}, 3, 4));
}

TEST_F(PageTest, DrawingWithoutASurfaceIsAnError) {
    layOut();
    page().Surface = nullptr;
    EXPECT_THROW(DrawLine(0, 0, 1, 1), PageError);
    EXPECT_THROW(TextAt(0, 0, "x"), PageError);
}

} // namespace
} // namespace spylerom::printing::test
