// The preview window offscreen: its controls, the zoom, fit and rotation commands, the keys it
// reads and writes, clicks on the page area and what a paint draws.
#include "gui_support.h"
#include "page_fixture.h"

#include "frame/settings.h"
#include "printing/page_arithmetic.h"
#include "printing/ui/print_form.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>

namespace spylerom::printing::test {
namespace {

// The preview window on a screen of the test's choosing.
class ScreenForm : public TPrintForm {
public:
    QSize screen{1920, 1080};

protected:
    QSize screenSize() const override { return screen; }
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame::ResetSettingsState();
        ResetPageState();
        useSettings(dir_, {});
    }
    void TearDown() override {
        form_.reset();
        ResetPageState();
        frame::ResetSettingsState();
    }
    ScreenForm& create(const std::map<std::string, std::string>& settings = {}) {
        useSettings(dir_, settings);
        form_ = std::make_unique<ScreenForm>();
        return *form_;
    }
    QImage paintedPage() {
        QApplication::processEvents();
        return form_->PaintBox->grab().toImage();
    }

    spylerom::test::TempDir dir_;
    std::unique_ptr<ScreenForm> form_;
};

TEST_F(FormTest, WindowControlsAndMenu) {
    ScreenForm& form = create();
    EXPECT_EQ(form.objectName(), "TPrintForm");
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Forhåndsvisning"));
    EXPECT_EQ(form.size(), QSize(554, 392));
    EXPECT_FALSE(form.isVisible());
    auto* paintBox = form.findChild<QWidget*>("PaintBox");
    ASSERT_NE(paintBox, nullptr);
    EXPECT_EQ(paintBox->cursor().shape(), Qt::CrossCursor);
    auto* menu = form.findChild<QMenu*>("PopupMenu1");
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + "=" + a->text());
    EXPECT_EQ(items.join("|").toStdString(), "Oppdater1=Oppdater|Utskrift1=Utskrift|-|=Zoom|Roter1=Roter");
    auto* zoom = form.findChild<QMenu*>("Zoom1");
    ASSERT_NE(zoom, nullptr);
    QStringList zoomItems;
    for (QAction* a : zoom->actions())
        zoomItems << a->objectName() + "=" + a->text();
    EXPECT_EQ(zoomItems.join("|").toStdString(),
              "Zoomin1=Zoom in|Zoomut1=Zoom ut|Helsiden1=Hele siden|Sidebredde1=Sidebredde");
    EXPECT_EQ(TPrintForm::instance(), &form);
    form_.reset();
    EXPECT_EQ(TPrintForm::instance(), nullptr);
    EXPECT_NO_THROW(ShowPreview());
}

struct StoredZoom {
    const char* value;
    std::int32_t zoom;
};

class ZoomFromSettings : public FormTest, public ::testing::WithParamInterface<StoredZoom> {};

TEST_P(ZoomFromSettings, CreationReadsTheStoredZoom) {
    std::map<std::string, std::string> settings;
    if (GetParam().value)
        settings["PreViewZoom"] = GetParam().value;
    create(settings);
    EXPECT_EQ(pageState().Zoom, GetParam().zoom);
}

INSTANTIATE_TEST_SUITE_P(Values, ZoomFromSettings,
                         ::testing::Values(StoredZoom{nullptr, 5}, StoredZoom{"0", 5}, StoredZoom{"-3", 5},
                                           StoredZoom{"1", 1}, StoredZoom{"7", 7}, StoredZoom{"abc", 5}));

TEST_F(FormTest, RotationIsReadAtCreationAndWrittenAtEveryToggle) {
    ScreenForm& form = create({{"RotatedView", "1"}});
    EXPECT_TRUE(pageState().Rotated);
    form.Roter1->trigger();
    EXPECT_FALSE(pageState().Rotated);
    EXPECT_FALSE(frame::ReadSettingBool("RotatedView"));
    EXPECT_EQ(form.PaintBox->size(), QSize(1050, 1485));
    form.Roter1->trigger();
    EXPECT_TRUE(frame::ReadSettingBool("RotatedView"));
    EXPECT_EQ(form.PaintBox->size(), QSize(1485, 1050));
}

TEST_F(FormTest, ZoomIsWrittenOnlyWhenTheWindowIsDestroyed) {
    ScreenForm& form = create({{"PreViewZoom", "4"}});
    form.Zoomin1->trigger();
    form.Zoomin1->trigger();
    EXPECT_EQ(pageState().Zoom, 6);
    EXPECT_EQ(frame::ReadSettingInteger("PreViewZoom"), 4);
    form_.reset();
    EXPECT_EQ(frame::ReadSettingInteger("PreViewZoom"), 6);
}

TEST_F(FormTest, PlacementIsStoredAtTheEndAndRestoredAtCreation) {
    ScreenForm& form = create();
    form.setGeometry(50, 40, 600, 400);
    form_.reset();
    ScreenForm& again = create();
    EXPECT_EQ(again.geometry(), QRect(50, 40, 600, 400));
}

TEST_F(FormTest, ZoomInAndOutResizeThePageArea) {
    ScreenForm& form = create();
    form.Zoomin1->trigger();
    EXPECT_EQ(pageState().Zoom, 6);
    EXPECT_EQ(form.PaintBox->size(), QSize(1260, 1782));
    for (int i = 0; i < 10; ++i)
        form.Zoomut1->trigger();
    EXPECT_EQ(pageState().Zoom, 1);
    EXPECT_EQ(form.PaintBox->size(), QSize(210, 297));
}

struct FitCase {
    QSize screen;
    bool rotated;
    std::int32_t wholePage;
    std::int32_t pageWidth;
};

class FitCommands : public FormTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FitCommands, FitThePageToTheScreenButNeverBelowOne) {
    ScreenForm& form = create({{"RotatedView", GetParam().rotated ? "1" : "0"}});
    form.screen = GetParam().screen;
    form.Helsiden1->trigger();
    EXPECT_EQ(pageState().Zoom, GetParam().wholePage);
    EXPECT_EQ(form.PaintBox->width(), GetParam().wholePage * (GetParam().rotated ? 297 : 210));
    form.Sidebredde1->trigger();
    EXPECT_EQ(pageState().Zoom, GetParam().pageWidth);
}

INSTANTIATE_TEST_SUITE_P(Screens, FitCommands,
                         ::testing::Values(FitCase{{1920, 1080}, false, 3, 9},
                                           FitCase{{1920, 1080}, true, 5, 6},
                                           FitCase{{800, 600}, false, 2, 3}, FitCase{{200, 150}, false, 1, 1},
                                           FitCase{{200, 150}, true, 1, 1}));

TEST_F(FormTest, ShownPageAreaIsCentredInAWiderWindow) {
    ScreenForm& form = create({{"PreViewZoom", "1"}});
    form.ShowPreview();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(pageState().Surface, &form.previewSurface());
    EXPECT_FALSE(pageState().Printing);
    form.resize(1200, 400);
    paintedPage();
    EXPECT_EQ(form.PaintBox->geometry(), QRect(495, 0, 210, 297));
    form.resize(210, 400);
    paintedPage();
    EXPECT_EQ(form.PaintBox->x(), 0);
    form.resize(100, 400);
    paintedPage();
    EXPECT_EQ(form.PaintBox->x(), 0);
}

TEST_F(FormTest, PaintDrawsTheTestPage) {
    ScreenForm& form = create();
    form.ShowPreview();
    const QImage page = paintedPage();
    ASSERT_EQ(page.size(), QSize(1050, 1485));
    // The title bar right of the middle, between 1 and 19 mm down, below the title text.
    EXPECT_EQ(QColor(page.pixel(1000, 85)), QColor(0, 128, 0));
    EXPECT_EQ(QColor(page.pixel(600, 85)), QColor(0, 128, 0));
    EXPECT_NE(QColor(page.pixel(400, 85)), QColor(0, 128, 0));
    // The frame's left edge, the rule at 20 mm, a grid line at 25 mm, and white inside the
    // cylinder's right end.
    EXPECT_EQ(QColor(page.pixel(0, 700)), QColor(Qt::black));
    EXPECT_EQ(QColor(page.pixel(300, 100)), QColor(Qt::black));
    EXPECT_EQ(QColor(page.pixel(1002, 125)), QColor(176, 255, 255));
    EXPECT_EQ(QColor(page.pixel(850, 450)), QColor(Qt::white));
}

TEST_F(FormTest, LeftClickGoesToTheClickRoutineInPrintableCoordinates) {
    ScreenForm& form = create({{"Skriver_VenstreMarg", "10"}, {"Skriver_ToppMarg", "5"}});
    form.ShowPreview();
    paintedPage();
    struct Click {
        MouseButton button;
        bool shift;
        std::int32_t x, y;
    };
    std::vector<Click> clicks;
    int paintsAfter = 0;
    pageState().PageClickRoutine = [&](MouseButton b, ShiftState s, std::int32_t x, std::int32_t y) {
        clicks.push_back({b, s.shift, x, y});
    };
    pageState().PageDrawRoutine = [&] { ++paintsAfter; };
    auto press = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(100, 60),
                          form.PaintBox->mapToGlobal(QPointF(100, 60)), button, button, modifiers);
        QApplication::sendEvent(form.PaintBox, &event);
    };
    press(Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].x, 100 - 50);
    EXPECT_EQ(clicks[0].y, 60 - 25);
    EXPECT_TRUE(clicks[0].shift);
    EXPECT_GE(paintsAfter, 1); // repainted at once
    press(Qt::MiddleButton, Qt::NoModifier);
    EXPECT_EQ(clicks.size(), 1u);
    const int before = paintsAfter;
    form.Oppdater1->trigger();
    EXPECT_EQ(paintsAfter, before + 1);
}

TEST_F(FormTest, FailingPaintIsReportedOnceUntilAPaintSucceeds) {
    MessageRecorder messages;
    ScreenForm& form = create();
    form.ShowPreview();
    QApplication::processEvents();
    bool fail = true;
    pageState().PageDrawRoutine = [&] {
        if (fail)
            throw PageError("Heltallsoverløp i utskriften");
    };
    form.PaintBox->repaint();
    form.PaintBox->repaint();
    QApplication::processEvents();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].first, "Solvarek Spylerom");
    EXPECT_EQ(messages.boxes[0].second, "Heltallsoverløp i utskriften");
    fail = false;
    form.PaintBox->repaint();
    fail = true;
    form.PaintBox->repaint();
    QApplication::processEvents();
    EXPECT_EQ(messages.boxes.size(), 2u);
}

TEST_F(FormTest, ZoomTooLargeForThePageIsReportedAndTheWindowStaysUsable) {
    MessageRecorder messages;
    ScreenForm& form = create({{"PreViewZoom", "2147483647"}});
    EXPECT_EQ(pageState().Zoom, 2147483647);
    form.Zoomin1->trigger(); // stays; the layout reports the overflow
    EXPECT_EQ(pageState().Zoom, 2147483647);
    ASSERT_FALSE(messages.boxes.empty());
    form.Helsiden1->trigger();
    EXPECT_EQ(pageState().Zoom, 3);
    EXPECT_EQ(form.PaintBox->size(), QSize(630, 891));
}

} // namespace
} // namespace spylerom::printing::test
