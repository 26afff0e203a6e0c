// The Win32 preview window, driven through its messages and menu commands in-process (Wine's
// null graphics driver): its design, the keys it reads and writes, zoom, fit and rotation, what
// a paint draws, clicks on the page area and the print run's end state.
#include "memory_page.h"
#include "page_fixture.h"

#include "frame/frame_ui.h"
#include "frame/settings.h"
#include "platform/win32/win32_platform.h"
#include "printing/page_arithmetic.h"
#include "printing/page_layout.h"
#include "printing/recording_surface.h"
#include "printing/test_page.h"
#include "printing/win32ui/print_form.h"
#include "support/printer_required.h"
#include "support/recording_frame_ui.h"
#include "support/win32_window_test.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

namespace spylerom::printing::test {
namespace {

constexpr std::uint32_t kGreenPixel = 0x008000;
constexpr std::uint32_t kWhitePixel = 0xFFFFFF;

// The message boxes the program would have shown.
using RecordingUi = spylerom::test::RecordingFrameUi;

// The preview window on a screen of the test's choosing, with a printer setup dialog that
// answers as told.
class ScreenForm : public TPrintForm {
public:
    SIZE screen{1920, 1080};
    bool acceptDialog = false;
    int dialogs = 0;

protected:
    SIZE screenSize() const override { return screen; }
    bool execPrinterSetupDialog() override {
        ++dialogs;
        return acceptDialog;
    }
};

using spylerom::test::windowText;

void pump() {
    spylerom::test::pumpMessages();
}

// The menu's items as "id=text", "-" for a separator and "popup=text" for a submenu.
std::string menuItems(HMENU menu) {
    std::string items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 63, MF_BYPOSITION);
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        items += items.empty() ? "" : "|";
        if (info.fType & MFT_SEPARATOR)
            items += "-";
        else
            items += (info.hSubMenu ? std::string("popup") : std::to_string(info.wID)) + "=" +
                     platform::narrow(text);
    }
    return items;
}

// The page area's place and size in the window's client area.
RECT pageArea(const TPrintForm& form) {
    RECT rect{};
    GetWindowRect(form.PaintBox, &rect);
    MapWindowPoints(nullptr, form.handle(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE pageAreaSize(const TPrintForm& form) {
    const RECT r = pageArea(form);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

class Win32FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame::ResetSettingsState();
        ResetPageState();
        useSettings(dir_, {});
    }
    void TearDown() override {
        form_.reset();
        pump();
        ResetPageState();
        frame::ResetSettingsState();
    }
    ScreenForm& create(const std::map<std::string, std::string>& settings = {}) {
        useSettings(dir_, settings);
        form_ = std::make_unique<ScreenForm>();
        EXPECT_TRUE(form_->created());
        return *form_;
    }
    void command(int id) { SendMessageW(form_->handle(), WM_COMMAND, static_cast<WPARAM>(id), 0); }

    spylerom::test::TempDir dir_;
    std::unique_ptr<ScreenForm> form_;
};

TEST_F(Win32FormTest, WindowDesignAndMenu) {
    ScreenForm& form = create();
    EXPECT_EQ(windowText(form.handle()), "Forhåndsvisning");
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_TRUE(GetWindowLongW(form.handle(), GWL_STYLE) & WS_THICKFRAME); // resizable
    RECT client{};
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, 554);
    EXPECT_EQ(client.bottom, 392);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(form.handle(), GCLP_HBRBACKGROUND)),
              GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetParent(form.PaintBox), form.handle());
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(form.PaintBox, GCLP_HCURSOR)),
              LoadCursorW(nullptr, IDC_CROSS));
    EXPECT_EQ(menuItems(form.PopupMenu1),
              std::to_string(TPrintForm::Oppdater1) + "=Oppdater|" + std::to_string(TPrintForm::Utskrift1) +
                  "=Utskrift|-|popup=Zoom|" + std::to_string(TPrintForm::Roter1) + "=Roter");
    EXPECT_EQ(GetSubMenu(form.PopupMenu1, 3), form.Zoom1);
    EXPECT_EQ(menuItems(form.Zoom1), std::to_string(TPrintForm::Zoomin1) + "=Zoom in|" +
                                         std::to_string(TPrintForm::Zoomut1) + "=Zoom ut|" +
                                         std::to_string(TPrintForm::Helsiden1) + "=Hele siden|" +
                                         std::to_string(TPrintForm::Sidebredde1) + "=Sidebredde");
    EXPECT_EQ(TPrintForm::instance(), &form);
    const HWND window = form.handle();
    form_.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(TPrintForm::instance(), nullptr);
    EXPECT_EQ(pageState().View, nullptr);
    EXPECT_NO_THROW(ShowPreview());
    EXPECT_NO_THROW(PrintPage());
}

struct StoredZoom {
    const char* value;
    std::int32_t zoom;
};

class Win32ZoomFromSettings : public Win32FormTest, public ::testing::WithParamInterface<StoredZoom> {};

TEST_P(Win32ZoomFromSettings, CreationReadsTheStoredZoom) {
    std::map<std::string, std::string> settings;
    if (GetParam().value)
        settings["PreViewZoom"] = GetParam().value;
    create(settings);
    EXPECT_EQ(pageState().Zoom, GetParam().zoom);
}

INSTANTIATE_TEST_SUITE_P(Values, Win32ZoomFromSettings,
                         ::testing::Values(StoredZoom{nullptr, 5}, StoredZoom{"0", 5}, StoredZoom{"-3", 5},
                                           StoredZoom{"1", 1}, StoredZoom{"7", 7}, StoredZoom{"abc", 5}),
                         [](const auto& testCase) { return "case" + std::to_string(testCase.index); });

TEST_F(Win32FormTest, RotationIsReadAtCreationAndWrittenAtEveryToggle) {
    ScreenForm& form = create({{"RotatedView", "1"}});
    EXPECT_TRUE(pageState().Rotated);
    command(TPrintForm::Roter1);
    EXPECT_FALSE(pageState().Rotated);
    EXPECT_FALSE(frame::ReadSettingBool("RotatedView"));
    EXPECT_EQ(pageAreaSize(form).cx, 1050);
    EXPECT_EQ(pageAreaSize(form).cy, 1485);
    command(TPrintForm::Roter1);
    EXPECT_TRUE(frame::ReadSettingBool("RotatedView"));
    EXPECT_EQ(pageAreaSize(form).cx, 1485);
    EXPECT_EQ(pageAreaSize(form).cy, 1050);
}

TEST_F(Win32FormTest, ZoomAndPlacementAreWrittenWhenTheWindowIsDestroyedAndReadAtCreation) {
    ScreenForm& form = create({{"PreViewZoom", "4"}});
    command(TPrintForm::Zoomin1);
    command(TPrintForm::Zoomin1);
    EXPECT_EQ(pageState().Zoom, 6);
    SetWindowPos(form.handle(), nullptr, 50, 40, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(frame::ReadSettingInteger("PreViewZoom"), 4);
    form_.reset();
    EXPECT_EQ(frame::ReadSettingInteger("PreViewZoom"), 6);

    ResetPageState();
    form_ = std::make_unique<ScreenForm>();
    EXPECT_EQ(pageState().Zoom, 6);
    RECT outer{};
    GetWindowRect(form_->handle(), &outer);
    EXPECT_EQ(outer.left, 50);
    EXPECT_EQ(outer.top, 40);
    EXPECT_EQ(outer.right - outer.left, 600);
    EXPECT_EQ(outer.bottom - outer.top, 400);
    EXPECT_FALSE(IsWindowVisible(form_->handle())); // restoring the placement shows nothing
}

TEST_F(Win32FormTest, ZoomInAndOutResizeThePageAreaAndZoomNeverGoesBelowOne) {
    ScreenForm& form = create();
    command(TPrintForm::Zoomin1);
    EXPECT_EQ(pageState().Zoom, 6);
    EXPECT_EQ(pageAreaSize(form).cx, 1260);
    EXPECT_EQ(pageAreaSize(form).cy, 1782);
    for (int i = 0; i < 10; ++i)
        command(TPrintForm::Zoomut1);
    EXPECT_EQ(pageState().Zoom, 1);
    EXPECT_EQ(pageAreaSize(form).cx, 210);
    EXPECT_EQ(pageAreaSize(form).cy, 297);
}

struct FitCase {
    SIZE screen;
    bool rotated;
    std::int32_t wholePage;
    std::int32_t pageWidth;
};

class Win32FitCommands : public Win32FormTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(Win32FitCommands, FitThePageToTheScreenButNeverBelowOne) {
    ScreenForm& form = create({{"RotatedView", GetParam().rotated ? "1" : "0"}});
    form.screen = GetParam().screen;
    command(TPrintForm::Helsiden1);
    EXPECT_EQ(pageState().Zoom, GetParam().wholePage);
    EXPECT_EQ(pageAreaSize(form).cx, GetParam().wholePage * (GetParam().rotated ? 297 : 210));
    command(TPrintForm::Sidebredde1);
    EXPECT_EQ(pageState().Zoom, GetParam().pageWidth);
}

INSTANTIATE_TEST_SUITE_P(Screens, Win32FitCommands,
                         ::testing::Values(FitCase{{1920, 1080}, false, 3, 9},
                                           FitCase{{1920, 1080}, true, 5, 6},
                                           FitCase{{800, 600}, false, 2, 3}, FitCase{{200, 150}, false, 1, 1},
                                           FitCase{{200, 150}, true, 1, 1}),
                         [](const auto& testCase) {
                             const FitCase& c = testCase.param;
                             return std::to_string(c.screen.cx) + "x" + std::to_string(c.screen.cy) +
                                    (c.rotated ? "_landscape" : "_portrait");
                         });

TEST_F(Win32FormTest, ShowPreviewShowsTheWindowAndAWiderWindowCentresThePageArea) {
    ScreenForm& form = create({{"PreViewZoom", "1"}});
    pageState().Printing = true; // as a print run elsewhere may leave it
    form.ShowPreview();
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    EXPECT_EQ(pageState().Surface, &form.previewSurface());
    EXPECT_FALSE(pageState().Printing);
    const auto resizeClient = [&](int width) {
        RECT outer{}, client{};
        GetWindowRect(form.handle(), &outer);
        GetClientRect(form.handle(), &client);
        const int extra = (outer.right - outer.left) - client.right;
        SetWindowPos(form.handle(), nullptr, 0, 0, width + extra, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(form.PaintBox); // the paint lays the page out anew
        GetClientRect(form.handle(), &client);
        return static_cast<int>(client.right);
    };
    const int wide = resizeClient(800);
    ASSERT_GT(wide, 210);
    EXPECT_EQ(pageArea(form).left, (wide - 210) / 2);
    EXPECT_EQ(pageArea(form).top, 0);
    resizeClient(210);
    EXPECT_EQ(pageArea(form).left, 0);
    resizeClient(100);
    EXPECT_EQ(pageArea(form).left, 0);
    // Closing only hides the window; the next ShowPreview brings it back.
    SendMessageW(form.handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(form.handle()));
    EXPECT_EQ(TPrintForm::instance(), &form);
    ShowPreview();
    EXPECT_TRUE(IsWindowVisible(form.handle()));
}

TEST_F(Win32FormTest, APaintDrawsTheTestPageWithItsGreenTitleBarWhereTheLayoutPutsIt) {
    ScreenForm& form = create();
    MemoryPage bitmap(1050, 1485); // the page area at zoom 5
    ASSERT_TRUE(bitmap.ok());
    // Where the layout puts the bar on a preview of this resolution.
    RecordingSurface recording(GetDeviceCaps(bitmap.dc(), LOGPIXELSY));
    pageState().Surface = &recording;
    ResetView();
    recording.startPage();
    TestPage();
    const auto rounds = recording.opsOf(RecordedOp::Kind::RoundRect);
    const auto bar = std::find_if(rounds.begin(), rounds.end(), [](const RecordedOp& op) {
        return op.brushColor == kGreen && op.brushStyle == BrushStyle::Solid;
    });
    ASSERT_NE(bar, rounds.end());
    const Point topLeft = bar->points[0], bottomRight = bar->points[1];

    pageState().PageDrawRoutine = TestPage;
    form.PaintBoxPaint(bitmap.dc());
    EXPECT_EQ(pageState().Surface, &form.previewSurface()); // the paint's surface is given back
    long inside = 0, outside = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if (bitmap.pixel(x, y) == kGreenPixel) {
                const bool in = x >= topLeft.x && x < bottomRight.x && y >= topLeft.y && y < bottomRight.y;
                ++(in ? inside : outside);
            }
    const long area = static_cast<long>(bottomRight.x - topLeft.x) * (bottomRight.y - topLeft.y);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, area / 2) << "of " << area;
    EXPECT_EQ(bitmap.pixel(bottomRight.x - 20, bottomRight.y - 20), kGreenPixel);
    EXPECT_EQ(bitmap.pixel(bottomRight.x - 20, topLeft.y - 3), kWhitePixel);
    // The frame's left edge, on the page area's own left border.
    EXPECT_EQ(bitmap.pixel(0, 700), 0x000000u);
}

TEST_F(Win32FormTest, LeftClickGoesToTheClickRoutineInPrintableCoordinatesAndRepaintsAtOnce) {
    ScreenForm& form = create({{"Skriver_VenstreMarg", "10"}, {"Skriver_ToppMarg", "5"}});
    form.ShowPreview();
    UpdateWindow(form.PaintBox);
    struct Click {
        MouseButton button;
        bool shift, ctrl;
        std::int32_t x, y;
    };
    std::vector<Click> clicks;
    int paints = 0;
    pageState().PageClickRoutine = [&](MouseButton b, ShiftState s, std::int32_t x, std::int32_t y) {
        clicks.push_back({b, s.shift, s.ctrl, x, y});
    };
    pageState().PageDrawRoutine = [&] { ++paints; };
    SendMessageW(form.PaintBox, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(100, 60));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].button, MouseButton::Left);
    EXPECT_EQ(clicks[0].x, 100 - 50);
    EXPECT_EQ(clicks[0].y, 60 - 25);
    EXPECT_TRUE(clicks[0].shift);
    EXPECT_FALSE(clicks[0].ctrl);
    EXPECT_EQ(paints, 1); // repainted at once
    SendMessageW(form.PaintBox, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(100, 60));
    SendMessageW(form.PaintBox, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 60));
    EXPECT_EQ(clicks.size(), 1u);
    EXPECT_EQ(paints, 1);
    command(TPrintForm::Oppdater1);
    EXPECT_EQ(paints, 2);
}

TEST_F(Win32FormTest, TheDefaultClickRoutineBeepsThroughTheWindow) {
    ScreenForm& form = create();
    form.ShowPreview();
    UpdateWindow(form.PaintBox);
    int draws = 0;
    pageState().PageDrawRoutine = [&] { ++draws; };
    ASSERT_TRUE(pageState().PageClickRoutine);
    EXPECT_NO_THROW(SendMessageW(form.PaintBox, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)));
    EXPECT_EQ(draws, 1);
}

TEST_F(Win32FormTest, AFailingPaintIsReportedOnceAfterThePaintUntilAPaintSucceeds) {
    RecordingUi ui;
    ScreenForm& form = create();
    form.ShowPreview();
    UpdateWindow(form.PaintBox);
    bool fail = true;
    pageState().PageDrawRoutine = [&] {
        if (fail)
            throw PageError("Heltallsoverløp i utskriften");
    };
    command(TPrintForm::Oppdater1);
    EXPECT_TRUE(ui.boxes.empty()); // not from inside the paint
    command(TPrintForm::Oppdater1);
    pump();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, "Solvarek Spylerom");
    EXPECT_EQ(ui.boxes[0].second, "Heltallsoverløp i utskriften");
    EXPECT_EQ(pageState().Surface, &form.previewSurface());
    fail = false;
    command(TPrintForm::Oppdater1);
    fail = true;
    command(TPrintForm::Oppdater1);
    pump();
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(Win32FormTest, AZoomTooLargeForThePageIsReportedAndTheWindowStaysUsable) {
    RecordingUi ui;
    ScreenForm& form = create({{"PreViewZoom", "2147483647"}});
    EXPECT_EQ(pageState().Zoom, 2147483647);
    command(TPrintForm::Zoomin1); // stays; the layout reports the overflow
    EXPECT_EQ(pageState().Zoom, 2147483647);
    ASSERT_FALSE(ui.boxes.empty());
    command(TPrintForm::Helsiden1);
    EXPECT_EQ(pageState().Zoom, 3);
    EXPECT_EQ(pageAreaSize(form).cx, 630);
    EXPECT_EQ(pageAreaSize(form).cy, 891);
}

struct DialogKey {
    const char* value;
};

class Win32PrintSetupDialog : public Win32FormTest, public ::testing::WithParamInterface<DialogKey> {};

// Cancelling the dialog ends the run before anything else happens: no job, no report, the
// page state as it was.
TEST_P(Win32PrintSetupDialog, ComesFirstUnlessTheKeyIsOneAndItsCancelEndsTheRunSilently) {
    RecordingUi ui;
    std::map<std::string, std::string> settings{{"RotatedView", "1"}};
    if (GetParam().value)
        settings["Skriver_VisDialog"] = GetParam().value;
    ScreenForm& form = create(settings);
    pageState().Rotated = false;
    int draws = 0;
    pageState().PageDrawRoutine = [&] { ++draws; };
    form.ShowPreview();
    command(TPrintForm::Utskrift1);
    EXPECT_EQ(form.dialogs, 1);
    EXPECT_EQ(draws, 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(form.DocumentTitle, "utskrift");
    EXPECT_FALSE(pageState().Rotated);
    EXPECT_FALSE(pageState().Printing);
    EXPECT_EQ(pageState().Surface, &form.previewSurface());
}

INSTANTIATE_TEST_SUITE_P(Keys, Win32PrintSetupDialog,
                         ::testing::Values(DialogKey{nullptr}, DialogKey{"0"}, DialogKey{"2"},
                                           DialogKey{"ja"}),
                         [](const auto& testCase) {
                             return testCase.param.value ? "value_" + std::string(testCase.param.value)
                                                         : std::string("absent");
                         });

// --- Print runs on the system's printer -------------------------------------------------------
// These print, so they run only where scripts/test-win32.sh made a cups-pdf queue of its own and
// tests/printing/win32_print_run.sh hands its folder over (SPYLEROM_WIN32_PRINT_OUT), one test
// program at a time.

std::vector<std::string> printedFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), ec))
        if (entry.path().extension() == ".pdf")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The files that appear in folder beside before, waiting up to a minute for count of them.
std::vector<std::string> newFiles(const std::string& folder, const std::vector<std::string>& before,
                                  std::size_t count) {
    std::vector<std::string> added;
    for (int waited = 0; waited < 600 && added.size() < count; ++waited) {
        Sleep(100);
        added.clear();
        for (const auto& name : printedFiles(folder))
            if (std::find(before.begin(), before.end(), name) == before.end())
                added.push_back(name);
    }
    return added;
}

class Win32PrintRun : public Win32FormTest {
protected:
    void SetUp() override {
        Win32FormTest::SetUp();
        const char* out = std::getenv("SPYLEROM_WIN32_PRINT_OUT");
        if (!out || !*out) {
            if (spylerom::test::printerRequired())
                FAIL() << "SPYLEROM_REQUIRE_PRINTER is set, but no printer queue was handed over";
            GTEST_SKIP() << "no printer queue of the test's own (tests/printing/win32_print_run.sh)";
        }
        out_ = out;
    }
    std::string out_;
};

TEST_F(Win32PrintRun, WithoutTheDialogTheStoredOrientationPrintsAndEveryJobKeepsTheFirstTitle) {
    RecordingUi ui;
    ScreenForm& form = create({{"Skriver_VisDialog", "1"}, {"RotatedView", "1"}});
    pageState().Rotated = false; // the stored orientation counts, not this one
    int draws = 0;
    bool printing = false;
    DrawingSurface* drawnOn = nullptr;
    pageState().PageDrawRoutine = [&] {
        ++draws;
        printing = pageState().Printing;
        drawnOn = pageState().Surface;
        TestPage();
    };
    const std::vector<std::string> before = printedFiles(out_);
    form.PrintPage();
    EXPECT_EQ(form.dialogs, 0);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().second;
    EXPECT_EQ(draws, 1);
    EXPECT_TRUE(printing);
    EXPECT_NE(drawnOn, &form.previewSurface());
    EXPECT_TRUE(pageState().Rotated);
    EXPECT_TRUE(form.printer().landscape());
    EXPECT_TRUE(form.DocumentTitle.empty());
    EXPECT_FALSE(pageState().Printing);
    EXPECT_EQ(pageState().Printer, nullptr);
    EXPECT_EQ(pageState().Surface, &form.previewSurface());

    form.PrintPage(); // DocumentTitle now empty: the job keeps the title "utskrift"
    const std::vector<std::string> added = newFiles(out_, before, 2);
    ASSERT_EQ(added.size(), 2u) << "one file a job";
    for (const std::string& name : added)
        EXPECT_NE(name.find("utskrift"), std::string::npos) << name;
    Sleep(500); // the backend may still be writing
    const std::string pdf = spylerom::test::readText(out_ + "\\" + added[0]);
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_NE(pdf.find("/Rotate 90"), std::string::npos) << "a landscape page";
}

TEST_F(Win32PrintRun, AFailingRunIsReportedAndEndsWithTheSurfaceBackOnThePreview) {
    RecordingUi ui;
    ScreenForm& form = create({{"Skriver_VisDialog", "1"}});
    form.ShowPreview();
    pageState().PageDrawRoutine = [] { throw PageError("Tegningen feilet"); };
    command(TPrintForm::Utskrift1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, "Solvarek Spylerom");
    EXPECT_EQ(ui.boxes[0].second, "Tegningen feilet");
    EXPECT_FALSE(pageState().Printing);
    EXPECT_EQ(pageState().Printer, nullptr);
    EXPECT_EQ(pageState().Surface, &form.previewSurface());
    EXPECT_TRUE(form.DocumentTitle.empty());
    EXPECT_TRUE(IsWindowVisible(form.handle()));
    // The preview lays itself out and draws again.
    int draws = 0;
    pageState().PageDrawRoutine = [&] { ++draws; };
    UpdateWindow(form.PaintBox);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(pageAreaSize(form).cx, 1050);
}

TEST_F(Win32PrintRun, APreviewPaintDuringTheJobWaitsUntilTheJobHasEnded) {
    RecordingUi ui;
    ScreenForm& form = create({{"Skriver_VisDialog", "1"}});
    form.ShowPreview();
    UpdateWindow(form.PaintBox);
    int draws = 0;
    bool stillPrinting = false;
    bool sameSurface = false;
    pageState().PageDrawRoutine = [&] {
        ++draws;
        if (!pageState().Printing)
            return; // the preview's own paint after the job
        DrawingSurface* printerSurface = pageState().Surface;
        RedrawWindow(form.PaintBox, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        MemoryPage other(20, 20);
        form.PaintBoxPaint(other.dc());
        stillPrinting = pageState().Printing;
        sameSurface = pageState().Surface == printerSurface;
        currentSurface().line(0, 0, 100, 100);
    };
    form.PrintPage();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(draws, 1); // neither paint drew
    EXPECT_TRUE(stillPrinting);
    EXPECT_TRUE(sameSurface);
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(form.PaintBox, &update, FALSE)); // the paint comes after the job
    UpdateWindow(form.PaintBox);
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(pageAreaSize(form).cx, 1050);
}

} // namespace
} // namespace spylerom::printing::test
