// Window placement through the per-user file, with a window that records what is done to it.
#include "frame/placement.h"

#include "frame/settings.h"
#include "frame_fixture.h"

namespace spylerom::test {
namespace {

using namespace spylerom::frame;

class FakeWindow : public PlacementWindow {
public:
    int left() const override { return left_; }
    int top() const override { return top_; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    bool maximized() const override { return maximized_; }
    void setLeft(int value) override { left_ = value; }
    void setTop(int value) override { top_ = value; }
    void setWidth(int value) override { width_ = value; }
    void setHeight(int value) override { height_ = value; }
    void maximize() override { maximized_ = true; }
    int screenWidth() const override { return 1920; }
    int screenHeight() const override { return 1080; }

    int left_ = 100, top_ = 50, width_ = 667, height_ = 421;
    bool maximized_ = false;
};

class PlacementTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        OpenSettingsFile();
    }
    std::string userFile() const { return maker() + "etc/OLA.INI"; }
    void store(const std::string& lines) { writeText(userFile(), "[VINDU-Test]\r\n" + lines); }
};

TEST_F(PlacementTest, SaveWritesTheSixKeysInOrderAndReturnsToTheMainFile) {
    FakeWindow window;
    window.left_ = -30;
    window.maximized_ = true;
    SelectSection("CALLER");
    SavePlacement(window, "SpyleRomVindu", "fri tekst");
    EXPECT_EQ(readText(userFile()),
              "[VINDU-SpyleRomVindu]\r\nMaximized=1\r\nLeft=-30\r\nTop=50\r\nHeight=421\r\n"
              "Width=667\r\nDiverse=fri tekst\r\n\r\n");
    EXPECT_FALSE(settingsState().activeIsUserFile);
    EXPECT_EQ(settingsState().ActiveSettings->path(), mainIni());
    EXPECT_EQ(settingsState().CurrentSection, "CALLER");

    window.maximized_ = false;
    SavePlacement(window, "SpyleRomVindu", "");
    EXPECT_NE(readText(userFile()).find("Maximized=0\r\n"), std::string::npos);
}

struct PullBackCase {
    const char* title;
    int storedLeft, storedTop;
    int expectedLeft, expectedTop;
};

class PullBackTest : public PlacementTest, public ::testing::WithParamInterface<PullBackCase> {};

TEST_P(PullBackTest, OnlyEdgesBeyondTheScreenArePulledBack) {
    const PullBackCase& c = GetParam();
    store("Left=" + std::to_string(c.storedLeft) + "\r\nTop=" + std::to_string(c.storedTop) +
          "\r\nWidth=800\r\nHeight=600\r\n");
    FakeWindow window; // 667 x 421 before the stored size is applied
    std::string extra;
    RestorePlacement(window, "Test", extra);
    EXPECT_EQ(window.left_, c.expectedLeft);
    EXPECT_EQ(window.top_, c.expectedTop);
    EXPECT_EQ(window.width_, 800);
    EXPECT_EQ(window.height_, 600);
}

INSTANTIATE_TEST_SUITE_P(Cases, PullBackTest,
                         ::testing::Values(PullBackCase{"FarRight", 5000, 10, 1920 - 667, 10},
                                           PullBackCase{"FarDown", 10, 3000, 10, 1080 - 421},
                                           PullBackCase{"ExactlyTheScreenWidth", 1920, 1080, 1920, 1080},
                                           PullBackCase{"OverlappingTheEdge", 1800, 1000, 1800, 1000},
                                           PullBackCase{"Negative", -30, -5, -30, -5}),
                         [](const auto& p) { return std::string(p.param.title); });

TEST_F(PlacementTest, OnlyPosKeepsTheSizeAndReturnsTheStoredText) {
    store("Left=10\r\nTop=20\r\nHeight=600\r\nWidth=800\r\nDiverse=zoom 75\r\n");
    FakeWindow window;
    std::string extra = "OnlyPos";
    RestorePlacement(window, "Test", extra);
    EXPECT_EQ(window.left_, 10);
    EXPECT_EQ(window.top_, 20);
    EXPECT_EQ(window.width_, 667);
    EXPECT_EQ(window.height_, 421);
    EXPECT_EQ(extra, "zoom 75");
}

TEST_F(PlacementTest, NothingStoredMovesToTheCornerAndKeepsTheDesignedSize) {
    FakeWindow window;
    std::string extra = "left over";
    RestorePlacement(window, "Unknown", extra);
    EXPECT_EQ(window.left_, 0);
    EXPECT_EQ(window.top_, 0);
    EXPECT_EQ(window.width_, 667);
    EXPECT_EQ(window.height_, 421);
    EXPECT_FALSE(window.maximized_);
    EXPECT_EQ(extra, "");
    EXPECT_FALSE(settingsState().activeIsUserFile);
}

TEST_F(PlacementTest, SizesOfZeroOrBelowAreIgnored) {
    store("Left=1\r\nTop=2\r\nHeight=0\r\nWidth=-5\r\n");
    FakeWindow window;
    std::string extra;
    RestorePlacement(window, "Test", extra);
    EXPECT_EQ(window.width_, 667);
    EXPECT_EQ(window.height_, 421);
}

TEST_F(PlacementTest, AWindowSavedMaximizedComesBackMaximized) {
    FakeWindow saved;
    saved.left_ = 40;
    saved.top_ = 30;
    saved.width_ = 1000;
    saved.height_ = 700;
    saved.maximized_ = true;
    SavePlacement(saved, "UTSKRIFTFORM", "100");
    FakeWindow restored;
    std::string extra;
    SelectSection("CALLER");
    RestorePlacement(restored, "UTSKRIFTFORM", extra);
    EXPECT_TRUE(restored.maximized_);
    EXPECT_EQ(restored.left_, 40);
    EXPECT_EQ(restored.top_, 30);
    EXPECT_EQ(restored.width_, 1000);
    EXPECT_EQ(restored.height_, 700);
    EXPECT_EQ(extra, "100");
    EXPECT_EQ(settingsState().CurrentSection, "CALLER");
    EXPECT_EQ(settingsState().ActiveSettings->path(), mainIni());
}

} // namespace
} // namespace spylerom::test
