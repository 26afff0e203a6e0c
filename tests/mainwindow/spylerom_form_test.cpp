// The main window as a user meets it: title, size, texts, layout, start choices, the focus
// notices, the track bar and the drive list.
#include "form_fixture.h"

#include "frame/textfil.h"
#include "support/loop_image.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <sys/statvfs.h>

namespace spylerom::test {
namespace {

using mainwindow::TSpyleRomForm;

const QColor kNavy(0, 0, 128);

class MainWindowTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        platform_.map('D', first_.path());
        platform_.map('E', second_.path());
    }

    QRect inClient(QWidget* w) { return QRect(w->mapTo(form_->centralWidget(), QPoint(0, 0)), w->size()); }

    TempDir first_, second_;
};

TEST_F(MainWindowTest, OpensWithItsTitleFixedClientAreaAndNoMaximizeButton) {
    TSpyleRomForm& form = openForm();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("SpyleRom 2.07"));
    EXPECT_EQ(form.objectName(), QStringLiteral("SpyleRomForm"));
    EXPECT_EQ(form.centralWidget()->size(), QSize(659, 375));
    EXPECT_EQ(form.centralWidget()->y(), form.menuBar()->height())
        << "the client area lies under the menu bar";
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window is not resizable";
    EXPECT_EQ(form.size(), form.minimumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(form.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(form.font().pointSize(), 8);
    // Where Tahoma is missing a sans serif of about its width stands in.
    const QString shown = QFontInfo(form.font()).family();
    EXPECT_TRUE(QStringList({"Tahoma", "Liberation Sans", "Arimo", "DejaVu Sans"}).contains(shown))
        << shown.toStdString();
    EXPECT_EQ(frame::logState().LogLines.size(), 1u);
    EXPECT_NE(firstLogLine("- PROGRAMMET STARTER -"), -1);
}

struct TextCase {
    const char* name;
    const char* text;
};

class ControlText : public MainWindowTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(ControlText, IsExactlyAsDesigned) {
    openForm();
    QObject* control = form_->findChild<QObject*>(QString::fromLatin1(GetParam().name));
    ASSERT_NE(control, nullptr) << GetParam().name;
    QString text;
    if (auto* label = qobject_cast<QLabel*>(control))
        text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        text = button->text();
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        text = group->title();
    EXPECT_EQ(text.toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ControlText,
    ::testing::Values(
        TextCase{"ValgGruppe", "Valg"}, TextCase{"Label1", "Velg stasjon: "}, TextCase{"Label2", "fyll med:"},
        TextCase{"antLabel", "1 gjentagelser"}, TextCase{"Label9", "Blokkstørrelse:"},
        TextCase{"GroupBox2", "Status"}, TextCase{"plabel", ""}, TextCase{"StoppKnapp", "&Stopp"},
        TextCase{"Startknapp", "&START"}, TextCase{"Label8", "Spylerom programinformasjon."},
        TextCase{"Label3",
                 "Dette programmet fyller ledig plass på den disken du velger med det valgte fyllmønster. "
                 "Spylerom sletter alle spor av slettede data på disken, uten å skrive over eksisterende "
                 "filer og data som du har lagret på disken. "},
        TextCase{"Label5", "Spylerom kan kjøres samtidig med at andre programmer kjører."},
        TextCase{"Label4",
                 "Spylerom vil slette all ledig på plass på de stasjoner der du har skriverettigheter "
                 "til, dvs. harddisker, minnepenner, disketter og nettverksdisker."},
        TextCase{"Label6",
                 "Hvis systemdisken velges kan det forekomme feilmeldinger om for lite diskplass. Desse "
                 "meldingene kan ignoreres."},
        TextCase{"Label7",
                 "Spylerom er laget på en slik måte at disken ikke kan skades eller gjøres ustabil."}),
    [](const auto& test) { return std::string(test.param.name); });

struct NoticeCase {
    const char* name;
    std::vector<std::string> lines;
    QColor background;
};

class NoticeText : public MainWindowTest, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(NoticeText, HasItsLinesAndColourAndStartsHidden) {
    openForm();
    auto* memo = child<QPlainTextEdit>(GetParam().name);
    ASSERT_NE(memo, nullptr);
    std::vector<std::string> lines;
    for (const QString& line : memo->toPlainText().split(QLatin1Char('\n')))
        lines.push_back(line.toStdString());
    EXPECT_EQ(lines, GetParam().lines);
    EXPECT_EQ(memo->palette().color(QPalette::Base), GetParam().background);
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(memo->isVisible());
}

const QColor kLightBlue(204, 204, 255);

INSTANTIATE_TEST_SUITE_P(
    Notices, NoticeText,
    ::testing::Values(
        NoticeCase{
            "FyllMemo",
            {"Velg fyll som skrives til disk. ", "", "Valget \"Null\" skriver bare tallet 0 til disk. ", "",
             "Valget \"En\" skriver 1 binært. ", "",
             "Valget \"Tilfeldig\" skriver tilfeldige tall til disken ",
             "og er det sikreste i kombinasjon med flere ", "gjentagelser. Dette tar litt lenger tid enn ",
             "bare 0 eller 1, men gjør det umulig for de ", "fleste program å finne data på disken.", "",
             "Uansett hvilket valg som velges, vil det være ", "umulig for gjenopprettingsprogram å finne ",
             "rester av data etter at programmet er ferdig."},
            kLightBlue},
        NoticeCase{"RepeatMemo",
                   {"Velg antall gjentagelser av skriving til disk.", "",
                    "Flere gjentagelser i kombinasjon med tilfeldig ",
                    "fyll gjør det vanskeligere for profesjonelle ", "verktøy å hente frem data.", "",
                    "For å hindre gjenoppretting fra ", "Windowsprogrammer skal det være ",
                    "tilstrekkelig med en gang."},
                   kLightBlue},
        NoticeCase{"StasjonMemo",
                   {"Velg stasjon som skal fylles med tomme data.", "",
                    "Du kan velge alle stasjoner du har rettigheter ",
                    "til å skrive til. Du må ha tilgang til å skrive i ", "rotkatalogen på valgt stasjon.",
                    "", "Systemdisken kan også velges, men ", "feilmeldinger fra operativsystemet kan ",
                    "forekomme i enkelte tilfeller.", "", "Ingen data blir slettet fra stasjonen du ",
                    "velger. Kun slettede data blir overskrevet."},
                   kLightBlue},
        NoticeCase{"BlockMemo",
                   {"Velg blokkstørrelse.", "", "Forskjellige disker, lokale eller på nettverket ",
                    "har varierende skrivehastighet. Du kan prøve ",
                    "deg frem på de forskjellige hastigheter, men ",
                    "den største blokkstørrelsen gir oftest den ", "raskeste hastigheten.", "",
                    "På noen USB disker og minnepinner kan stor ",
                    "blokkstørrelse gi lav skrivehastighet. For slike ",
                    "disker, førsøk først med en blokkstørrelse på ", "2048 bytes."},
                   kLightBlue},
        NoticeCase{"StartMemo",
                   {"Disken fylles nå med data ......", "", "Du kan arbeide med andre programmer mens ",
                    "dette pågår."},
                   QColor(Qt::white)},
        NoticeCase{"VentMemo",
                   {"Programmet rydder opp i filer, vent litt .......", "",
                    "Midlertidige filer laget av programmet blir ", "lukket og slettet."},
                   QApplication::palette().color(QPalette::Base)}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(MainWindowTest, ChoicesListsBarsAndButtonsAsDesigned) {
    openForm();
    auto items = [](QComboBox* combo) {
        QStringList all;
        for (int i = 0; i < combo->count(); ++i)
            all << combo->itemText(i);
        return all;
    };
    auto* fyll = child<QComboBox>("FyllCombo");
    auto* block = child<QComboBox>("BlockCombo");
    auto* stasjon = child<QComboBox>("Stasjon");
    EXPECT_EQ(items(fyll), QStringList({"Null", "En", "Tilfeldig"}));
    EXPECT_EQ(items(block), QStringList({"512", "1024", "2048", "4096", "8192", "16384", "32768", "65536"}));
    for (QComboBox* combo : {fyll, block, stasjon})
        EXPECT_FALSE(combo->isEditable()) << combo->objectName().toStdString();
    EXPECT_EQ(items(stasjon), QStringList({QString::fromStdString("D: [" + first_.path() + "]"),
                                           QString::fromStdString("E: [" + second_.path() + "]")}))
        << "the drive list shows the platform's drives";

    auto* track = child<QSlider>("TrackBar1");
    EXPECT_EQ(track->orientation(), Qt::Horizontal);
    EXPECT_EQ(track->minimum(), 1);
    EXPECT_EQ(track->maximum(), 10);

    for (const char* name : {"pbar", "pbar2"}) {
        auto* bar = child<QProgressBar>(name);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_FALSE(bar->isTextVisible());
    }
    EXPECT_EQ(child<QProgressBar>("pbar")->toolTip(), QStringLiteral("Status for gjeldende skriveoperasjon"));
    EXPECT_EQ(child<QProgressBar>("pbar2")->toolTip(), QStringLiteral("Total status"));

    auto* stopp = child<QPushButton>("StoppKnapp");
    auto* start = child<QPushButton>("Startknapp");
    EXPECT_FALSE(stopp->isEnabled());
    EXPECT_FALSE(stopp->icon().isNull()) << "the Stop button carries the platform's cancel glyph";
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(start->hasFocus());
    EXPECT_TRUE(start->font().bold());
    EXPECT_EQ(start->font().pointSize(), 10);
    EXPECT_EQ(start->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(start->palette().color(QPalette::Active, QPalette::ButtonText), kNavy);

    auto* title = child<QLabel>("Label8");
    EXPECT_TRUE(title->font().bold());
    EXPECT_TRUE(title->font().underline());
    EXPECT_EQ(title->font().pointSize(), 9);
    EXPECT_TRUE(child<QLabel>("Label6")->font().italic());

    auto* image = child<QLabel>("Image1");
    EXPECT_EQ(image->size(), QSize(65, 65));
    EXPECT_EQ(image->pixmap().size(), QSize(65, 65)) << "the emblem decodes at start-up";
}

TEST_F(MainWindowTest, StartsWithNullOneRepetitionTheLastDriveAnd512) {
    openForm();
    EXPECT_EQ(child<QComboBox>("FyllCombo")->currentText(), QStringLiteral("Null"));
    EXPECT_EQ(child<QSlider>("TrackBar1")->value(), 1);
    EXPECT_EQ(child<QLabel>("antLabel")->text(), QStringLiteral("1 gjentagelser"));
    EXPECT_EQ(form_->engine().state().Repetitions, 1);
    EXPECT_EQ(child<QComboBox>("Stasjon")->currentIndex(), 1);
    EXPECT_EQ(form_->engine().state().DriveNumber, 'E' - 'A' + 1);
    EXPECT_EQ(child<QComboBox>("BlockCombo")->currentText(), QStringLiteral("512"));
    EXPECT_EQ(child<QProgressBar>("pbar")->value(), 0);
    EXPECT_EQ(child<QProgressBar>("pbar2")->value(), 0);
    struct statvfs st {};
    ASSERT_EQ(statvfs(second_.path().c_str(), &st), 0);
    const long long totalMB = static_cast<long long>(st.f_blocks) * st.f_frsize / 1024 / 1024;
    const QString statusText = child<QLabel>("status")->text();
    EXPECT_TRUE(statusText.endsWith(QStringLiteral(" MB ledig av %1 MB").arg(totalMB)))
        << statusText.toStdString();
    EXPECT_EQ(child<QProgressBar>("Bar")->maximum(), totalMB);
}

TEST_F(MainWindowTest, LaysOutChoicesStatusAndButtonsLeftOfTheFramedPanel) {
    openForm();
    const QRect client = form_->centralWidget()->rect();
    const QRect valg = inClient(child<QWidget>("ValgGruppe"));
    const QRect statusGroup = inClient(child<QWidget>("GroupBox2"));
    const QRect stopp = inClient(child<QWidget>("StoppKnapp"));
    const QRect start = inClient(child<QWidget>("Startknapp"));
    const QRect shape = inClient(child<QWidget>("Shape1"));
    const QRect panel = inClient(child<QWidget>("Panel1"));

    for (const QRect& r : {valg, statusGroup, stopp, start, shape})
        EXPECT_TRUE(client.contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    EXPECT_LT(valg.bottom(), statusGroup.top());
    EXPECT_LT(statusGroup.bottom(), stopp.top());
    EXPECT_EQ(stopp.top(), start.top());
    EXPECT_LT(stopp.right(), start.left()) << "Stop lies left of START";
    for (const QRect& left : {valg, statusGroup, start})
        EXPECT_LT(left.right(), shape.left());
    EXPECT_EQ(panel, shape.adjusted(2, 2, -2, -2)) << "the panel lies inside a frame two pixels wide";

    auto* frame = child<QFrame>("Shape1");
    EXPECT_EQ(frame->lineWidth(), 2);
    EXPECT_EQ(frame->palette().color(QPalette::WindowText), kNavy);
    EXPECT_EQ(child<QWidget>("Panel1")->palette().color(QPalette::Window), QColor(Qt::white));

    const QRect image = child<QWidget>("Image1")->geometry(); // in the panel
    EXPECT_LE(panel.width() - image.right(), 12) << "the emblem sits at the panel's top right";
    EXPECT_LE(image.top(), 12);

    // The notices cover the panel exactly, each later one above the earlier ones.
    const QObjectList stack = form_->centralWidget()->children();
    int below = static_cast<int>(stack.indexOf(child<QWidget>("Panel1")));
    for (const char* name : {"FyllMemo", "RepeatMemo", "StasjonMemo", "BlockMemo", "StartMemo", "VentMemo"}) {
        QWidget* notice = child<QWidget>(name);
        EXPECT_EQ(inClient(notice), panel) << name;
        const int at = static_cast<int>(stack.indexOf(notice));
        EXPECT_GT(at, below) << name;
        below = at;
    }
}

TEST_F(MainWindowTest, MenuHasFileAndHelpWithTheirCommandsEnabled) {
    openForm();
    const QList<QAction*> menus = form_->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Fil"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Hjelp"));

    const QList<QAction*> fil = menus[0]->menu()->actions();
    ASSERT_EQ(fil.size(), 3);
    EXPECT_EQ(fil[0]->text(), QStringLiteral("Vis loggfil"));
    EXPECT_TRUE(fil[1]->isSeparator());
    EXPECT_EQ(fil[2]->text(), QStringLiteral("&Avslutt"));
    EXPECT_EQ(fil[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_TRUE(fil[2]->isEnabled());

    const QList<QAction*> hjelp = menus[1]->menu()->actions();
    ASSERT_EQ(hjelp.size(), 2);
    EXPECT_EQ(hjelp[0]->text(), QStringLiteral("Systeminformasjon"));
    EXPECT_EQ(hjelp[1]->text(), QStringLiteral("Direkte oppdatering fra internett"));

    for (QAction* command : {fil[0], hjelp[0], hjelp[1]})
        EXPECT_TRUE(command->isEnabled()) << command->text().toStdString();
}

TEST_F(MainWindowTest, TabbingThroughTheChoicesShowsEachNoticeInTurn) {
    openForm();
    const std::vector<std::pair<const char*, const char*>> chain = {{"Stasjon", "StasjonMemo"},
                                                                    {"FyllCombo", "FyllMemo"},
                                                                    {"TrackBar1", "RepeatMemo"},
                                                                    {"BlockCombo", "BlockMemo"}};
    const char* notices[] = {"StasjonMemo", "FyllMemo", "RepeatMemo", "BlockMemo"};
    const auto visibleNotices = [&] {
        std::vector<std::string> shown;
        for (const char* name : notices)
            if (child<QWidget>(name)->isVisible())
                shown.emplace_back(name);
        return shown;
    };
    ASSERT_TRUE(child<QWidget>("Startknapp")->hasFocus());
    EXPECT_TRUE(visibleNotices().empty()) << "the information panel shows while START has the focus";

    for (const auto& [control, notice] : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(control));
        EXPECT_EQ(visibleNotices(), std::vector<std::string>{notice}) << control;
    }
    // On past the disabled Stop button to START: no choice has the focus any more.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QWidget>("Startknapp"));
    EXPECT_TRUE(visibleNotices().empty());

    // And back the other way.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(visibleNotices(), std::vector<std::string>{"BlockMemo"});
}

TEST_F(MainWindowTest, ANoticeStaysWhileItsDropDownListIsOpen) {
    openForm();
    auto* fyll = child<QComboBox>("FyllCombo");
    fyll->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(child<QWidget>("FyllMemo")->isVisible());
    fyll->showPopup();
    QApplication::processEvents();
    EXPECT_TRUE(child<QWidget>("FyllMemo")->isVisible());
    fyll->hidePopup();
    QApplication::processEvents();
    EXPECT_TRUE(child<QWidget>("FyllMemo")->isVisible());
}

struct TrackCase {
    int from, to, expected;
};

class TrackBarPosition : public MainWindowTest, public ::testing::WithParamInterface<TrackCase> {};

TEST_P(TrackBarPosition, SetsRepetitionsAndTheLabel) {
    openForm();
    auto* track = child<QSlider>("TrackBar1");
    track->setValue(GetParam().from);
    track->setValue(GetParam().to);
    EXPECT_EQ(child<QLabel>("antLabel")->text(), QStringLiteral("%1 gjentagelser").arg(GetParam().expected));
    EXPECT_EQ(form_->engine().state().Repetitions, GetParam().expected);
}

// Positions beyond the bar's ends stay at its ends.
INSTANTIATE_TEST_SUITE_P(Positions, TrackBarPosition,
                         ::testing::Values(TrackCase{1, 5, 5}, TrackCase{1, 10, 10}, TrackCase{10, 2, 2},
                                           TrackCase{5, 11, 10}, TrackCase{5, 0, 1}));

TEST_F(MainWindowTest, TrackBarFollowsTheKeyboard) {
    openForm();
    auto* track = child<QSlider>("TrackBar1");
    track->setFocus(Qt::TabFocusReason);
    QTest::keyClick(track, Qt::Key_Right);
    EXPECT_EQ(child<QLabel>("antLabel")->text(), QStringLiteral("2 gjentagelser"));
    QTest::keyClick(track, Qt::Key_End);
    EXPECT_EQ(child<QLabel>("antLabel")->text(), QStringLiteral("10 gjentagelser"));
    EXPECT_EQ(form_->engine().state().Repetitions, 10);
    QTest::keyClick(track, Qt::Key_Home);
    EXPECT_EQ(child<QLabel>("antLabel")->text(), QStringLiteral("1 gjentagelser"));
}

TEST_F(MainWindowTest, ChangingTheDriveRefreshesItsStatus) {
    // E: is a drive whose folder has gone: its size cannot be measured.
    const std::string gone = second_.path() + "/gone";
    platform_.map('E', gone);
    openForm();
    auto* bar = child<QProgressBar>("Bar");
    EXPECT_EQ(child<QLabel>("status")->text(), QStringLiteral("0 MB ledig av 0 MB"));
    EXPECT_GE(bar->maximum(), 1) << "an unmeasurable drive shows an empty bar, not a busy indicator";
    EXPECT_EQ(bar->value(), 0);

    auto* stasjon = child<QComboBox>("Stasjon");
    stasjon->setCurrentIndex(0);
    EXPECT_EQ(form_->engine().state().DriveNumber, 'D' - 'A' + 1);
    struct statvfs st {};
    ASSERT_EQ(statvfs(first_.path().c_str(), &st), 0);
    const long long totalMB = static_cast<long long>(st.f_blocks) * st.f_frsize / 1024 / 1024;
    EXPECT_TRUE(child<QLabel>("status")->text().endsWith(QStringLiteral(" MB ledig av %1 MB").arg(totalMB)));
    EXPECT_EQ(bar->maximum(), totalMB);
    EXPECT_GT(bar->value(), 0) << "the used part of the drive";
}

TEST_F(MainWindowTest, ShowsTheExactStatusOfALoopImage) {
    std::string why;
    if (!LoopImage::available(&why))
        GTEST_SKIP() << why;
    LoopImage image({.sizeMiB = 40});
    ASSERT_TRUE(image.ok()) << image.error();
    platform_.map('E', image.mountPoint());
    openForm();
    struct statvfs st {};
    ASSERT_EQ(statvfs(image.mountPoint().c_str(), &st), 0);
    const long long freeMB = static_cast<long long>(st.f_bavail) * st.f_frsize / 1024 / 1024;
    const long long totalMB = static_cast<long long>(st.f_blocks) * st.f_frsize / 1024 / 1024;
    EXPECT_EQ(child<QLabel>("status")->text(),
              QStringLiteral("%1 MB ledig av %2 MB").arg(freeMB).arg(totalMB));
    EXPECT_EQ(child<QProgressBar>("Bar")->maximum(), totalMB);
    EXPECT_EQ(child<QProgressBar>("Bar")->value(), totalMB - freeMB);
}

TEST_F(MainWindowTest, AnEmptyDriveListLeavesNothingToStart) {
    platform_.reset(); // no drive at all
    openForm();
    EXPECT_EQ(child<QComboBox>("Stasjon")->count(), 0);
    QTest::mouseClick(child<QWidget>("Startknapp"), Qt::LeftButton);
    EXPECT_EQ(logLinesWith("START: ").size(), 0u);
    EXPECT_EQ(logLinesWith("FEIL: Ingen stasjon er valgt").size(), 1u);
    EXPECT_TRUE(child<QWidget>("Startknapp")->isEnabled());
    EXPECT_FALSE(child<QWidget>("StoppKnapp")->isEnabled());
    EXPECT_FALSE(child<QWidget>("StartMemo")->isVisible());
}

} // namespace
} // namespace spylerom::test
