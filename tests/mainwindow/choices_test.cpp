// The main window remembers its four choices and its place between runs, in the real per-user
// settings file beside the main one.
#include "form_fixture.h"

#include "frame/settings.h"
#include "frame/textfil.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

namespace spylerom::test {
namespace {

using mainwindow::TSpyleRomForm;

// The four choices as item positions (the bar's position for the repetitions); -1 is no selection.
struct Choices {
    int fyll, gjentagelser, stasjon, blokk;
};

class ChoicesTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        platform_.map('D', drives_[0].path());
        platform_.map('E', drives_[1].path());
        platform_.map('F', drives_[2].path());
    }

    Choices shown() {
        return {child<QComboBox>("FyllCombo")->currentIndex(), child<QSlider>("TrackBar1")->value(),
                child<QComboBox>("Stasjon")->currentIndex(), child<QComboBox>("BlockCombo")->currentIndex()};
    }

    void choose(const Choices& c) {
        child<QComboBox>("FyllCombo")->setCurrentIndex(c.fyll);
        child<QSlider>("TrackBar1")->setValue(c.gjentagelser);
        child<QComboBox>("Stasjon")->setCurrentIndex(c.stasjon);
        child<QComboBox>("BlockCombo")->setCurrentIndex(c.blokk);
    }

    // Ends the window as "Avslutt" does, then starts afresh as the next run of the program would:
    // a new log and fill state, the files on disk as they were left.
    void closeAndStartAgain() {
        child<QAction>("Avslytt1")->trigger();
        ASSERT_FALSE(form_->isVisible());
        form_.reset();
        frame::logState().LogLines.clear();
        openForm();
    }

    TempDir drives_[3];
};

// The section's keys in the order they stand in the file.
std::vector<std::string> keysOf(const std::string& text, const std::string& section) {
    std::vector<std::string> keys;
    bool inside = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[')
            inside = line == "[" + section + "]";
        else if (inside && line.find('=') != std::string::npos)
            keys.push_back(line);
        at = end + 1;
    }
    return keys;
}

struct SurvivalCase {
    const char* name;
    int fyll, gjentagelser, stasjon, blokk;
    int stasjonNextStart; // the first drive (0) is stored as 0, which means the last one
};

class ChoicesSurvive : public ChoicesTest, public ::testing::WithParamInterface<SurvivalCase> {};

TEST_P(ChoicesSurvive, ACloseAndANewStart) {
    const SurvivalCase& c = GetParam();
    openForm();
    choose({c.fyll, c.gjentagelser, c.stasjon, c.blokk});
    form_->move(140, 90);

    closeAndStartAgain();

    const std::string text = userSettingsText();
    EXPECT_EQ(keysOf(text, "Spylerom"),
              (std::vector<std::string>{
                  "Fyll=" + std::to_string(c.fyll), "Gjentagelser=" + std::to_string(c.gjentagelser),
                  "Stasjon=" + std::to_string(c.stasjon), "Blokk=" + std::to_string(c.blokk),
                  "StasjonRot=" + drives_[c.stasjon].path() + "/"}))
        << text;
    EXPECT_EQ(keysOf(text, "VINDU-SpyleRomVindu").size(), 6u) << text;

    const Choices now = shown();
    EXPECT_EQ(now.fyll, c.fyll);
    EXPECT_EQ(now.gjentagelser, c.gjentagelser);
    EXPECT_EQ(now.stasjon, c.stasjonNextStart);
    EXPECT_EQ(now.blokk, c.blokk);
    EXPECT_EQ(form_->engine().state().Repetitions, c.gjentagelser) << "the bar's change ran";
    EXPECT_EQ(child<QLabel>("antLabel")->text(), QStringLiteral("%1 gjentagelser").arg(c.gjentagelser));
    EXPECT_EQ(form_->engine().state().DriveNumber, 'D' - 'A' + 1 + c.stasjonNextStart)
        << "the drive was refreshed";
    EXPECT_EQ(form_->frameGeometry().topLeft(), QPoint(140, 90));
    EXPECT_EQ(form_->centralWidget()->size(), QSize(659, 375)) << "the designed size stays";
}

INSTANTIATE_TEST_SUITE_P(Choices, ChoicesSurvive,
                         ::testing::Values(SurvivalCase{"TilfeldigSevenSecondDrive16384", 2, 7, 1, 5, 1},
                                           SurvivalCase{"EnTenFirstDrive65536", 1, 10, 0, 7, 2},
                                           SurvivalCase{"NullOneLastDrive512", 0, 1, 2, 0, 2}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(ChoicesTest, CloseStoresPlacementThenChoicesThenLogsTheEnd) {
    openForm();
    child<QAction>("Avslytt1")->trigger();
    const std::string text = userSettingsText();
    const auto placement = text.find("[VINDU-SpyleRomVindu]");
    const auto choices = text.find("[Spylerom]");
    ASSERT_NE(placement, std::string::npos) << text;
    ASSERT_NE(choices, std::string::npos) << text;
    EXPECT_LT(placement, choices) << "the placement is stored first";
    EXPECT_EQ(keysOf(text, "VINDU-SpyleRomVindu").front(), "Maximized=0");
    const auto& lines = frame::logState().LogLines;
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("- PROGRAMMET AVSLUTTES -"), std::string::npos) << lines.back();
    EXPECT_EQ(logLinesWith("- PROGRAMMET AVSLUTTES -").size(), 1u);

    form_->close(); // a second close request stores and logs nothing again
    EXPECT_EQ(logLinesWith("- PROGRAMMET AVSLUTTES -").size(), 1u);
    EXPECT_EQ(frame::settingsState().CurrentSection, "STANDARD");
    EXPECT_EQ(frame::settingsState().ActiveSettings->path(), frame::settingsState().SettingsFileName)
        << "the main settings file is active again";
}

TEST_F(ChoicesTest, FreshStartWithoutSettingsGivesTheDefaultsInTheTopLeftCorner) {
    ASSERT_TRUE(userSettingsText().empty());
    openForm();
    const Choices now = shown();
    EXPECT_EQ(child<QComboBox>("FyllCombo")->currentText(), QStringLiteral("Null"));
    EXPECT_EQ(now.gjentagelser, 1);
    EXPECT_EQ(now.stasjon, 2) << "the last drive";
    EXPECT_EQ(child<QComboBox>("BlockCombo")->currentText(), QStringLiteral("512"));
    EXPECT_EQ(form_->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_FALSE(form_->isMaximized());
    EXPECT_EQ(frame::settingsState().ActiveSettings->path(), frame::settingsState().SettingsFileName)
        << "reading leaves the main settings file active";
    EXPECT_EQ(frame::settingsState().CurrentSection, "STANDARD");
}

// What a stored "Spylerom" section selects.
struct StoredCase {
    const char* name;
    const char* section;
    Choices expected;
};

class StoredChoices : public ChoicesTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredChoices, SelectTheirItems) {
    writeUserSettings(std::string("[Spylerom]\r\n") + GetParam().section);
    openForm();
    const Choices now = shown();
    const Choices& expected = GetParam().expected;
    EXPECT_EQ(now.fyll, expected.fyll);
    EXPECT_EQ(now.gjentagelser, expected.gjentagelser);
    EXPECT_EQ(now.stasjon, expected.stasjon);
    EXPECT_EQ(now.blokk, expected.blokk);
    EXPECT_EQ(form_->engine().state().Repetitions, expected.gjentagelser);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredChoices,
    ::testing::Values(
        StoredCase{"AllGiven", "Fyll=1\r\nGjentagelser=4\r\nStasjon=1\r\nBlokk=3\r\n", {1, 4, 1, 3}},
        StoredCase{"StasjonZeroIsTheLastDrive", "Fyll=2\r\nStasjon=0\r\n", {2, 1, 2, 0}},
        StoredCase{"EmptySection", "", {0, 1, 2, 0}},
        StoredCase{"UnreadableValuesReadAsZero",
                   "Fyll=en\r\nGjentagelser=x\r\nStasjon=?\r\nBlokk=\r\n",
                   {0, 1, 2, 0}},
        StoredCase{"RepetitionsKeptWithinTheBar", "Gjentagelser=25\r\n", {0, 10, 2, 0}},
        StoredCase{"RepetitionsBelowTheBar", "Gjentagelser=-3\r\n", {0, 1, 2, 0}},
        StoredCase{
            "IndexesBeyondTheListsSelectNothing", "Fyll=3\r\nStasjon=3\r\nBlokk=8\r\n", {-1, 1, -1, -1}},
        StoredCase{"NegativeIndexesSelectNothing", "Fyll=-1\r\nStasjon=-1\r\nBlokk=-2\r\n", {-1, 1, -1, -1}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ChoicesTest, ARemovedDriveLeavesTheListEmptyAndStartFillsNothing) {
    writeUserSettings("[Spylerom]\r\nStasjon=7\r\n");
    openForm();
    auto* stasjon = child<QComboBox>("Stasjon");
    EXPECT_EQ(stasjon->count(), 3);
    EXPECT_EQ(stasjon->currentIndex(), -1);
    EXPECT_TRUE(stasjon->currentText().isEmpty());

    child<QPushButton>("Startknapp")->click();
    EXPECT_EQ(logLinesWith("FEIL: Ingen stasjon er valgt").size(), 1u);
    EXPECT_TRUE(logLinesWith("START: ").empty());
    for (const TempDir& drive : drives_)
        EXPECT_TRUE(fillFilesIn(drive.path()).empty());
    EXPECT_TRUE(child<QPushButton>("Startknapp")->isEnabled()) << "the window is idle again";

    // Closing keeps "no drive" until the user picks one.
    child<QAction>("Avslytt1")->trigger();
    EXPECT_NE(userSettingsText().find("Stasjon=-1"), std::string::npos) << userSettingsText();
}

// The drive list of the next start: letters and the folders they stand for (0..2 the first
// start's D:, E:, F:, 3 a drive that was not there before).
struct ListChange {
    const char* name;
    int chosen; // position chosen in the first start, in the list D:, E:, F:
    std::vector<std::pair<char, int>> next;
    int expected; // position the next start selects; -1 for none
};

class ChangedDriveList : public ChoicesTest, public ::testing::WithParamInterface<ListChange> {
protected:
    TempDir newDrive_;
};

TEST_P(ChangedDriveList, SelectsTheSameDriveOrNoneNeverAnother) {
    const ListChange& c = GetParam();
    openForm();
    child<QComboBox>("Stasjon")->setCurrentIndex(c.chosen);
    const std::string chosenRoot = drives_[c.chosen].path() + "/";

    for (const char letter : {'D', 'E', 'F'})
        platform_.unmap(letter);
    for (const auto& [letter, drive] : c.next)
        platform_.map(letter, drive < 3 ? drives_[drive].path() : newDrive_.path());
    closeAndStartAgain();

    EXPECT_NE(userSettingsText().find("StasjonRot=" + chosenRoot + "\r\n"), std::string::npos)
        << userSettingsText();
    auto* stasjon = child<QComboBox>("Stasjon");
    EXPECT_EQ(stasjon->count(), static_cast<int>(c.next.size()));
    ASSERT_EQ(stasjon->currentIndex(), c.expected) << stasjon->currentText().toStdString();
    if (c.expected >= 0) {
        const char letter = c.next[static_cast<std::size_t>(c.expected)].first;
        EXPECT_TRUE(stasjon->currentText().endsWith(QString::fromStdString(drives_[c.chosen].path() + "]")))
            << stasjon->currentText().toStdString();
        EXPECT_EQ(form_->engine().state().DriveNumber, letter - 'A' + 1) << "the drive was refreshed";
    } else {
        EXPECT_TRUE(stasjon->currentText().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ChangedDriveList,
    ::testing::Values(ListChange{"UnchangedList", 1, {{'D', 0}, {'E', 1}, {'F', 2}}, 1},
                      ListChange{"ADriveBeforeItIsGone", 1, {{'E', 1}, {'F', 2}}, 0},
                      ListChange{"TheDriveItselfIsGone", 1, {{'D', 0}, {'F', 2}}, -1},
                      ListChange{"TheLastDriveIsGone", 2, {{'D', 0}, {'E', 1}}, -1},
                      ListChange{"ANewDriveComesFirst", 1, {{'D', 3}, {'E', 0}, {'F', 1}, {'G', 2}}, 2},
                      ListChange{"TheLettersChangedTheirDrives", 2, {{'D', 2}, {'E', 1}, {'F', 0}}, 0}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ChoicesTest, SettingsWithoutADriveRootGoByThePositionAlone) {
    writeUserSettings("[Spylerom]\r\nStasjon=1\r\n");
    platform_.unmap('D');
    openForm();
    EXPECT_EQ(child<QComboBox>("Stasjon")->currentIndex(), 1)
        << "as the settings of an earlier version meant";
}

TEST_F(ChoicesTest, AStoredPlacementBeyondTheScreenIsPulledBackAndTheSizeIgnored) {
    writeUserSettings("[VINDU-SpyleRomVindu]\r\nMaximized=0\r\nLeft=30000\r\nTop=-20\r\n"
                      "Height=900\r\nWidth=1200\r\nDiverse=\r\n");
    openForm();
    const QRect screen = form_->screen()->geometry();
    // Pulled back by the window's width as it was when restored: before it is shown, without
    // its frame.
    EXPECT_EQ(form_->frameGeometry().left(), screen.width() - form_->width());
    EXPECT_EQ(form_->frameGeometry().top(), -20) << "a negative position is used as stored";
    EXPECT_EQ(form_->centralWidget()->size(), QSize(659, 375));
    EXPECT_LT(form_->frameGeometry().width(), 1200);
}

} // namespace
} // namespace spylerom::test
