// The menu commands that hand work to others: the log file, the system information dialog and
// the updater.
#include "form_fixture.h"

#include "frame/launch.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "support/recording_frame_ui.h"
#include "sysinfo/system_facts.h"
#include "sysinfo/ui/click_label.h"
#include "sysinfo/ui/sysinfo_form.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace spylerom::test {
namespace {

class MenuCommandTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        platform_.map('D', drive_.path());
        frame::logState().LogFolder = logFolder_.path() + platform::kPathSeparator;
        frame::InitLog();
    }

    TempDir drive_, logFolder_;
};

TEST_F(MenuCommandTest, VisLoggfilOpensTheSavedLogFileAsItStands) {
    openForm();
    frame::WriteLog("lagret linje");
    platform::Error err;
    ASSERT_TRUE(frame::SaveLog(err)) << err.message;
    frame::WriteLog("ny linje etter lagring");

    child<QAction>("Vislogg1")->trigger();

    const std::string logFile = frame::logState().LogFileName;
    ASSERT_EQ(logFile.rfind(logFolder_.path(), 0), 0u) << logFile;
    EXPECT_EQ(platform_.launches, (std::vector<MappedDrivesPlatform::Launch>{{logFile, "", ""}}));
    const std::string saved = readText(logFile);
    EXPECT_NE(saved.find("lagret linje"), std::string::npos);
    EXPECT_EQ(saved.find("ny linje etter lagring"), std::string::npos) << "the log is not saved for it";
}

TEST_F(MenuCommandTest, SysteminformasjonOpensANewModalDialogTitledSpyleromEachTime) {
    openForm();
    const auto openDialogs = [] {
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            count += qobject_cast<sysinfo::TSysInfoForm*>(w) != nullptr && w->isVisible();
        return count;
    };
    for (int opening = 1; opening <= 2; ++opening) {
        sysinfo::InfoProgramnavn = "Et annet program";
        QString title, programName;
        bool modalOverTheWindow = false;
        int shownAtOnce = 0;
        QTimer::singleShot(0, form_.get(), [&] {
            auto* dialog = qobject_cast<sysinfo::TSysInfoForm*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            title = dialog->windowTitle();
            programName = dialog->Label13->text();
            modalOverTheWindow = dialog->isModal() && dialog->parentWidget() == form_.get();
            shownAtOnce = openDialogs();
            dialog->BitBtn1->click();
        });
        QTimer::singleShot(30000, [] { ADD_FAILURE() << "the dialog did not close"; });
        child<QAction>("Systeminformasjon1")->trigger(); // returns when the dialog closes
        EXPECT_EQ(title, QStringLiteral("Solvarek systeminformasjon")) << opening;
        EXPECT_EQ(programName, QStringLiteral("Spylerom"));
        EXPECT_EQ(sysinfo::InfoProgramnavn, "Spylerom");
        EXPECT_TRUE(modalOverTheWindow);
        EXPECT_EQ(shownAtOnce, 1);
        EXPECT_EQ(openDialogs(), 0) << "the dialog is gone once closed";
        EXPECT_TRUE(form_->isVisible());
    }
}

TEST_F(MenuCommandTest, UpdateStartsTheUpdaterLogsItAndSkipsTheCloseHandling) {
    TempDir programFolder;
    platform_.programWithUpdaterIn(programFolder.path());
    openForm();
    child<QComboBox>("FyllCombo")->setCurrentIndex(2);
    child<QSlider>("TrackBar1")->setValue(6);

    child<QAction>("Direkteoppdateringfrainternett1")->trigger();

    const std::string program = platform::sys().programPath();
    const std::string bin = platform::folderOf(program);
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0].file, bin + frame::updaterFileName());
    EXPECT_EQ(platform_.launches[0].parameters, program);
    EXPECT_EQ(platform_.launches[0].folder, bin);
    const int starting = firstLogLine("Starter oppdatering av programmet...");
    const int ending = firstLogLine("Avslutter " + program + " for å oppdatere i fra internett.");
    ASSERT_NE(starting, -1);
    ASSERT_NE(ending, -1);
    EXPECT_LT(starting, ending);
    EXPECT_EQ(firstLogLine("- PROGRAMMET AVSLUTTES -"), -1);
    EXPECT_TRUE(form_->isVisible()) << "the window is not closed, only the program ended";
    EXPECT_EQ(userSettingsText().find("[Spylerom]"), std::string::npos) << userSettingsText();
}

// Without an updater (or where the package manager installed the program) the command tells
// the user how the program is updated here, and the window goes on as it was.
TEST_F(MenuCommandTest, UpdateWithoutAnUpdaterTellsHowAndKeepsTheProgramRunning) {
    TempDir bin;
    platform_.programFile = bin.path() + "/spylerom"; // no updater beside it
    RecordingFrameUi boxes;
    openForm();
    child<QComboBox>("FyllCombo")->setCurrentIndex(2);

    child<QAction>("Direkteoppdateringfrainternett1")->trigger();
    QCoreApplication::processEvents();

    EXPECT_TRUE(platform_.launches.empty());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].first, "Direkte oppdatering fra internett");
    EXPECT_NE(boxes.boxes[0].second.find("Oppdateringsprogrammet " + bin.path() + "/oppdater finnes ikke"),
              std::string::npos)
        << boxes.boxes[0].second;
    EXPECT_EQ(firstLogLine("Starter oppdatering av programmet..."), -1);
    EXPECT_NE(firstLogLine("HINT: Oppdateringsprogrammet "), -1);
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(child<QComboBox>("FyllCombo")->currentIndex(), 2);
    EXPECT_FALSE(QCoreApplication::closingDown());
    // The program still ends the normal way, and stores its choices then.
    form_->close();
    EXPECT_NE(userSettingsText().find("[Spylerom]"), std::string::npos) << userSettingsText();
}

} // namespace
} // namespace spylerom::test
