// START, Stop and closing the window against a real, small loop-mounted disk image: the run
// goes to its end, or stops and cleans up, and the window follows it.
#include "form_fixture.h"

#include "frame/textfil.h"
#include "gui/screen_cursor.h"
#include "support/loop_image.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sys/statvfs.h>

namespace spylerom::test {
namespace {

using mainwindow::TSpyleRomForm;

struct Choices {
    int fill = 0;  // FyllCombo
    int block = 7; // BlockCombo: 65536
    int repetitions = 1;
};

class RunTest : public FormTest {
protected:
    // A fresh image as drive Z:, the only drive the window lists.
    bool makeImage(LoopImage::Options options) {
        std::string why;
        if (!LoopImage::available(&why)) {
            skipReason_ = why;
            return false;
        }
        image_ = std::make_unique<LoopImage>(options);
        if (!image_->ok()) {
            ADD_FAILURE() << image_->error();
            return false;
        }
        platform_.map('Z', image_->mountPoint());
        return true;
    }

    // Opens the window on the image with the given choices.
    void openOnImage(const Choices& choices) {
        openForm();
        auto* stasjon = child<QComboBox>("Stasjon");
        ASSERT_EQ(stasjon->count(), 1);
        ASSERT_EQ(stasjon->currentText().toStdString(), "Z: [" + image_->mountPoint() + "]");
        child<QComboBox>("FyllCombo")->setCurrentIndex(choices.fill);
        child<QComboBox>("BlockCombo")->setCurrentIndex(choices.block);
        child<QSlider>("TrackBar1")->setValue(choices.repetitions);
    }

    void clickStart() { QTest::mouseClick(child<QWidget>("Startknapp"), Qt::LeftButton); }

    std::string statusOfImage() {
        struct statvfs st {};
        if (statvfs(image_->mountPoint().c_str(), &st) != 0)
            return {};
        const long long freeMB = static_cast<long long>(st.f_bavail) * st.f_frsize / 1024 / 1024;
        const long long totalMB = static_cast<long long>(st.f_blocks) * st.f_frsize / 1024 / 1024;
        return std::to_string(freeMB) + " MB ledig av " + std::to_string(totalMB) + " MB";
    }

    void expectIdle() {
        EXPECT_TRUE(child<QWidget>("Startknapp")->isEnabled());
        EXPECT_TRUE(child<QWidget>("Startknapp")->hasFocus());
        EXPECT_FALSE(child<QWidget>("StoppKnapp")->isEnabled());
        EXPECT_TRUE(child<QWidget>("ValgGruppe")->isEnabled());
        EXPECT_TRUE(child<QWidget>("Stasjon")->isEnabled());
        EXPECT_FALSE(child<QWidget>("StartMemo")->isVisible());
        EXPECT_FALSE(child<QWidget>("VentMemo")->isVisible());
        EXPECT_EQ(gui::screenCursor(), std::nullopt) << "the normal pointer is back";
        EXPECT_TRUE(form_->engine().state().WritingStopped);
    }

    std::string skipReason_;
    std::unique_ptr<LoopImage> image_;
};

#define REQUIRE_IMAGE(...)                                                                                   \
    if (!makeImage(__VA_ARGS__)) {                                                                           \
        if (!skipReason_.empty())                                                                            \
            GTEST_SKIP() << skipReason_;                                                                     \
        return;                                                                                              \
    }

TEST_F(RunTest, StartsByItsKeyWithinTheKeysOwnEvent) {
    REQUIRE_IMAGE({.sizeMiB = 32});
    openOnImage({});
    // No message is handled after the key: a click put off for the button's pressed look would
    // not have run yet.
    QTest::keyClick(form_.get(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(logLinesWith("START: Z: [").size(), 1u);
    EXPECT_EQ(logLinesWith("STOPP: Z: [").size(), 1u);
    EXPECT_TRUE(fillFilesIn(image_->mountPoint()).empty());
    expectIdle();
}

TEST_F(RunTest, StartRunsEveryPassToTheEndAndReturnsToIdle) {
    REQUIRE_IMAGE({.sizeMiB = 32});
    // Remains of a deleted file that the fill must overwrite.
    const std::string marker = "MAINWINDOW-DELETED-SECRET-7f3a";
    {
        std::ofstream secret(image_->mountPoint() + "/secret.txt", std::ios::binary);
        for (int i = 0; i < 20000; ++i)
            secret << marker << '\n';
    }
    image_->sync();
    std::filesystem::remove(image_->mountPoint() + "/secret.txt");
    image_->sync();

    openOnImage({.fill = 1, .block = 7, .repetitions = 2});
    clickStart();

    expectIdle();
    EXPECT_EQ(child<QProgressBar>("pbar")->value(), 100);
    EXPECT_EQ(child<QProgressBar>("pbar2")->value(), 100);
    EXPECT_TRUE(child<QLabel>("plabel")->text().contains(QStringLiteral("% ferdig, 100 % av total")))
        << child<QLabel>("plabel")->text().toStdString();
    EXPECT_EQ(child<QLabel>("status")->text().toStdString(), statusOfImage()) << "the drive's space is back";
    EXPECT_EQ(logLinesWith("Valgt stasjon: Z: [" + image_->mountPoint() + "]").size(), 2u);
    EXPECT_EQ(logLinesWith("START: Z: [").size(), 2u);
    EXPECT_EQ(logLinesWith(" bytes blokkstørrelse").size(), 2u);
    EXPECT_EQ(logLinesWith("65537 bytes blokkstørrelse").size(), 2u);
    EXPECT_EQ(logLinesWith("STOPP: Z: [").size(), 2u);
    EXPECT_EQ(logLinesWith("Sletter fil nr. 1").size(), 2u);
    EXPECT_TRUE(logLinesWith("Stopper fylling av disk").empty());
    EXPECT_TRUE(fillFilesIn(image_->mountPoint()).empty());

    ASSERT_TRUE(image_->unmount());
    EXPECT_EQ(image_->countInImage(marker), 0u) << "the deleted file's remains are overwritten";
}

TEST_F(RunTest, AFillThatCannotCreateItsFileEndsIdleAfterEveryPass) {
    REQUIRE_IMAGE({.sizeMiB = 16, .readOnly = true});
    openOnImage({.repetitions = 2});
    clickStart();
    expectIdle();
    EXPECT_EQ(logLinesWith("FEIL: UNDER OPPRETTELSE AV FILEN ").size(), 2u);
    EXPECT_EQ(logLinesWith("FEILNR: 19 Disketten er skriverbeskyttet").size(), 2u);
    EXPECT_TRUE(logLinesWith("STOPP: ").empty());
    EXPECT_EQ(child<QProgressBar>("pbar2")->value(), 0);
}

// How a user stops a running fill.
enum class StopWay { Button, AltS };

class StopTest : public RunTest, public ::testing::WithParamInterface<StopWay> {};

TEST_P(StopTest, StopsDuringAPassAndCleansUpBehindTheWaitNotice) {
    // Large enough that the writer, direct and on a thread of its own, is still writing when
    // the first message processing comes.
    REQUIRE_IMAGE({.sizeMiB = 1024});
    openOnImage({.fill = 2, .block = 0, .repetitions = 3});

    struct Seen {
        bool running = false, startNotice = false, stopFocused = false, menuUsable = false;
        std::optional<Qt::CursorShape> cursor;
    } seenWhileWriting;
    QTimer::singleShot(0, form_.get(), [&] {
        // Handled in the first cycle's message processing: the pass is writing.
        seenWhileWriting.running =
            !child<QWidget>("Startknapp")->isEnabled() && child<QWidget>("StoppKnapp")->isEnabled() &&
            !child<QWidget>("ValgGruppe")->isEnabled() && !child<QWidget>("Stasjon")->isEnabled();
        seenWhileWriting.stopFocused = child<QWidget>("StoppKnapp")->hasFocus();
        seenWhileWriting.startNotice = child<QWidget>("StartMemo")->isVisible();
        seenWhileWriting.menuUsable = child<QAction>("Avslytt1")->isEnabled();
        seenWhileWriting.cursor = gui::screenCursor();
        if (GetParam() == StopWay::Button)
            QTest::mouseClick(child<QWidget>("StoppKnapp"), Qt::LeftButton);
        else
            QTest::keyClick(form_.get(), Qt::Key_S, Qt::AltModifier);
    });

    int cleanups = 0;
    bool noticeThroughout = true, idleButtonsThroughout = true, busyThroughout = true;
    platform_.onCleanup = [&] {
        ++cleanups;
        noticeThroughout = noticeThroughout && child<QWidget>("VentMemo")->isVisible();
        idleButtonsThroughout = idleButtonsThroughout && child<QWidget>("Startknapp")->isEnabled() &&
                                !child<QWidget>("StoppKnapp")->isEnabled();
        busyThroughout = busyThroughout && gui::screenCursor() == Qt::WaitCursor;
        if (cleanups == 1) // START while the stopped pass still cleans up starts nothing
            QTest::mouseClick(child<QWidget>("Startknapp"), Qt::LeftButton);
    };
    clickStart();

    EXPECT_TRUE(seenWhileWriting.running);
    EXPECT_TRUE(seenWhileWriting.stopFocused);
    EXPECT_TRUE(seenWhileWriting.startNotice);
    EXPECT_TRUE(seenWhileWriting.menuUsable);
    EXPECT_EQ(seenWhileWriting.cursor, Qt::BusyCursor) << "working in background while the pass writes";

    EXPECT_EQ(cleanups, 2) << "one file closed and deleted";
    EXPECT_TRUE(noticeThroughout) << "VentMemo shows until the clean-up is done";
    EXPECT_TRUE(idleButtonsThroughout) << "the idle buttons show from the moment Stop is pressed";
    EXPECT_TRUE(busyThroughout);
    expectIdle();
    EXPECT_EQ(logLinesWith("START: ").size(), 1u) << "no further pass, and no second run";
    const int stopper = firstLogLine("Stopper fylling av disk");
    ASSERT_NE(stopper, -1);
    EXPECT_LT(stopper, firstLogLine("Lukker fil nr 1"));
    EXPECT_LT(firstLogLine("Sletter fil nr. 1"), firstLogLine("STOPP: "));
    EXPECT_TRUE(fillFilesIn(image_->mountPoint()).empty()) << "no temporary file is left";
    EXPECT_LT(child<QProgressBar>("pbar")->value(), 100);
}

INSTANTIATE_TEST_SUITE_P(Ways, StopTest, ::testing::Values(StopWay::Button, StopWay::AltS),
                         [](const auto& test) { return test.param == StopWay::Button ? "Button" : "AltS"; });

// How a user ends the program while a fill runs.
enum class CloseWay { CloseBox, AvsluttMenu, CtrlQ };

class CloseDuringRunTest : public RunTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CloseDuringRunTest, StopsTheRunCleansUpAndOnlyThenCloses) {
    REQUIRE_IMAGE({.sizeMiB = 1024}); // still writing when the close arrives
    openOnImage({.fill = 0, .block = 0, .repetitions = 3});
    QSignalSpy closed(form_.get(), &TSpyleRomForm::closed);

    QTimer::singleShot(0, form_.get(), [&] {
        switch (GetParam()) {
        case CloseWay::CloseBox:
            form_->close();
            break;
        case CloseWay::AvsluttMenu:
            child<QAction>("Avslytt1")->trigger();
            break;
        case CloseWay::CtrlQ:
            QTest::keyClick(form_.get(), Qt::Key_Q, Qt::ControlModifier);
            break;
        }
    });
    bool openDuringCleanup = true;
    platform_.onCleanup = [&] {
        openDuringCleanup = openDuringCleanup && form_->isVisible() && closed.isEmpty() &&
                            child<QWidget>("VentMemo")->isVisible();
    };
    clickStart();

    EXPECT_TRUE(openDuringCleanup) << "the window stays until the files are cleaned up";
    EXPECT_EQ(logLinesWith("Stopper fylling av disk").size(), 1u);
    EXPECT_EQ(logLinesWith("START: ").size(), 1u) << "no further pass starts";
    EXPECT_EQ(logLinesWith("STOPP: ").size(), 1u);
    EXPECT_TRUE(fillFilesIn(image_->mountPoint()).empty());
    EXPECT_EQ(gui::screenCursor(), std::nullopt);

    QApplication::processEvents(); // the close that waited for the run
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form_->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseDuringRunTest,
                         ::testing::Values(CloseWay::CloseBox, CloseWay::AvsluttMenu, CloseWay::CtrlQ),
                         [](const auto& test) {
                             switch (test.param) {
                             case CloseWay::CloseBox:
                                 return "CloseBox";
                             case CloseWay::AvsluttMenu:
                                 return "AvsluttMenu";
                             default:
                                 return "CtrlQ";
                             }
                         });

// Run without the right to lift a pool the drive's file system holds back, START shows what
// stays out of reach and how to get the right, and the log has a "HINT:" line; only then.
struct RightsCase {
    const char* title;
    const char* fsType;
    bool withoutRight;
    const char* noticeLine; // a line of the notice; empty: no notice
};

class RightsNoticeTest : public RunTest, public ::testing::WithParamInterface<RightsCase> {};

TEST_P(RightsNoticeTest, StartShowsWhatStaysOutOfReach) {
    const RightsCase& c = GetParam();
    std::string why;
    if (!LoopImage::canMake(c.fsType, &why))
        GTEST_SKIP() << why;
    // xfs and btrfs refuse to make smaller file systems.
    const std::uint64_t sizeMiB = std::string(c.fsType) == "xfs"     ? 320
                                  : std::string(c.fsType) == "btrfs" ? 128
                                                                     : 32;
    REQUIRE_IMAGE({.sizeMiB = sizeMiB, .fsType = c.fsType});
    platform_.withoutReserveRight = c.withoutRight;
    openOnImage({});
    auto* memo = child<QPlainTextEdit>("StartMemo");
    QString shown;
    bool visible = false;
    platform_.onCleanup = [&] {
        if (shown.isEmpty()) {
            shown = memo->toPlainText();
            visible = memo->isVisible();
        }
    };
    clickStart();
    expectIdle();
    ASSERT_FALSE(shown.isEmpty()) << "the pass cleaned up";
    EXPECT_TRUE(visible);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Disken fylles nå med data ......"))) << shown.toStdString();
    const auto hints = logLinesWith("HINT: Z: [" + image_->mountPoint() + "]: ");
    if (!*c.noticeLine) {
        EXPECT_FALSE(shown.contains(QStringLiteral("administrator"))) << shown.toStdString();
        EXPECT_TRUE(hints.empty());
        return;
    }
    EXPECT_TRUE(shown.contains(QString::fromUtf8(c.noticeLine))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Velg \"Spylerom (som administrator)\" i ")))
        << shown.toStdString();
    ASSERT_EQ(hints.size(), 1u);
    EXPECT_NE(hints[0].find("fylles bare med administratorrettigheter"), std::string::npos) << hints[0];
    // Told before the pass writes.
    EXPECT_LT(firstLogLine("HINT: Z: ["), firstLogLine("START: Z: ["));
}

INSTANTIATE_TEST_SUITE_P(Cases, RightsNoticeTest,
                         ::testing::Values(RightsCase{"Ext4WithoutTheRight", "ext4", true,
                                                      "blokkene ext4 holder av (om lag 2 % av "},
                                           RightsCase{"Ext4AsRoot", "ext4", false, ""},
                                           RightsCase{"XfsWithoutTheRight", "xfs", true,
                                                      "reserveområdet til xfs fylles, og slettede "},
                                           RightsCase{"BtrfsHoldsNothingBack", "btrfs", true, ""}),
                         [](const auto& p) { return std::string(p.param.title); });

TEST_F(RunTest, ClosingWhenIdleClosesAtOnce) {
    REQUIRE_IMAGE({.sizeMiB = 16});
    openOnImage({});
    QSignalSpy closed(form_.get(), &TSpyleRomForm::closed);
    QTest::keyClick(form_.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(logLinesWith("Stopper fylling av disk").empty());
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(RunTest, TheWindowIsRefreshedByTimeWhileTheDiskWorks) {
    REQUIRE_IMAGE({.sizeMiB = 64});
    openOnImage({.fill = 0, .block = 0, .repetitions = 1}); // 512-byte blocks
    QTest::qWait(100);                                      // the window's first paints are done
    PaintCounter counter;
    child<QLabel>("plabel")->installEventFilter(&counter);
    QElapsedTimer clock;
    std::vector<qint64> served; // when a zero timer fired: when messages were processed
    QTimer everyPass;
    QObject::connect(&everyPass, &QTimer::timeout, [&] { served.push_back(clock.elapsed()); });
    everyPass.start(0);
    clock.start();
    clickStart();
    const qint64 elapsedMs = clock.elapsed();
    everyPass.stop();

    ASSERT_GT(form_->engine().state().BytesWritten / 512, 5000) << "many blocks' worth was written";
    EXPECT_GE(counter.paints, 1) << "the progress is shown";
    EXPECT_LE(counter.paints, elapsedMs / TSpyleRomForm::kRepaintIntervalMs + 10)
        << "paints follow the clock, not the blocks: " << elapsedMs << " ms";
    ASSERT_FALSE(served.empty());
    qint64 longestGap = served.front();
    for (std::size_t i = 1; i < served.size(); ++i)
        longestGap = std::max(longestGap, served[i] - served[i - 1]);
    EXPECT_LT(longestGap, 250) << "messages are processed several times a second";
    EXPECT_EQ(child<QProgressBar>("pbar")->value(), 100) << "the last values are shown at the end";
}

} // namespace
} // namespace spylerom::test
