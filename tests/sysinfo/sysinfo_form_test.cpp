// TSysInfoForm offscreen: its design, the labels after filling, each link's launch request, the
// log written before it is opened, the per-user path built at click time, the desktop shortcut
// and its error, the hidden shell switches (their tab out of the keyboard's reach) and
// VisSystemInfo's modal, fresh dialog.
#include "sysinfo/ui/sysinfo_form.h"

#include "frame/frame_ui.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "printing/page_state.h"
#include "printing/test_page.h"
#include "printing/ui/print_form.h"
#include "support/when_modal.h"
#include "sysinfo/build_facts.h"
#include "sysinfo/shell_toggles.h"
#include "sysinfo/sysinfo_fixture.h"
#include "sysinfo/ui/click_label.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace spylerom::sysinfo {
namespace {

using test::LaunchRequest;
using test::readText;
using test::writeText;

struct RecordingFrameUi : frame::FrameUi {
    std::vector<std::pair<std::string, std::string>> boxes;
    void messageBox(const std::string& caption, const std::string& text) override {
        boxes.emplace_back(caption, text);
    }
};

template <typename T> T* child(QWidget* parent, const QString& name) {
    T* found = parent->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

std::string text(const QLabel* l) {
    return l->text().toStdString();
}

// Standard output of a shell command.
std::string capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// Brings w's tab to the front, so the window's own mouse handling reaches it.
void reveal(QWidget* w) {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* tabs =
                qobject_cast<QTabWidget*>(p->parentWidget() ? p->parentWidget()->parentWidget() : nullptr))
            if (tabs->indexOf(p) >= 0)
                tabs->setCurrentWidget(p);
}

// Mouse clicks as the window system delivers them, at the middle of w: a double-click is press,
// release, press (which Qt turns into the double-click) and release.
QPoint centreInWindow(QWidget* w) {
    reveal(w);
    return w->mapTo(w->window(), w->rect().center());
}
void clickOn(QWidget* w) {
    const QPoint at = centreInWindow(w);
    QTest::mouseClick(w->window()->windowHandle(), Qt::LeftButton, {}, at);
}
void doubleClickOn(QWidget* w) {
    const QPoint at = centreInWindow(w);
    QTest::mouseDClick(w->window()->windowHandle(), Qt::LeftButton, {}, at);
}

using spylerom::test::whenModal;

class SysInfoFormTest : public test::SysInfoTest {
protected:
    void SetUp() override {
        SysInfoTest::SetUp();
        frame::setFrameUi(&frameUi_);
        setProgramParameters(std::vector<std::string>{});
    }
    void TearDown() override {
        form_.reset();
        setProgramParameters(std::nullopt);
        QLocale::setDefault(QLocale::c());
        frame::setFrameUi(nullptr);
        SysInfoTest::TearDown();
    }
    // A dialog shown (and so filled) offscreen.
    TSysInfoForm& shown() {
        form_ = std::make_unique<TSysInfoForm>();
        form_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        return *form_;
    }
    void click(const char* name) {
        auto* label = child<ClickLabel>(form_.get(), name);
        ASSERT_NE(label, nullptr);
        clickOn(label);
    }
    std::string logFile() const { return frame::logState().LogFileName; }

    RecordingFrameUi frameUi_;
    std::unique_ptr<TSysInfoForm> form_;
};

TEST_F(SysInfoFormTest, DesignOfTheHiddenInstance) {
    TSysInfoForm form;
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Solvarek systeminformasjon"));
    EXPECT_EQ(form.minimumSize(), QSize(527, 375));
    EXPECT_EQ(form.maximumSize(), QSize(527, 375));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);

    auto* tabs = child<QTabWidget>(&form, "PageControl1");
    ASSERT_NE(tabs, nullptr);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i) + (tabs->isTabVisible(i) ? "" : " (hidden)");
    EXPECT_EQ(titles.join("|").toStdString(),
              "Program|Filer og mapper|Windows|Tabulant|Bedriftsnav|Spesial (hidden)|Rapport");
    EXPECT_EQ(tabs->currentIndex(), 0);

    auto* close = child<QPushButton>(&form, "BitBtn1");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("Lukk"));
    EXPECT_TRUE(close->isDefault());

    // Filling waits for the dialog to be shown: the data folder is not looked up yet.
    EXPECT_EQ(text(child<QLabel>(&form, "cData")), "");
    EXPECT_FALSE(std::filesystem::exists(maker() + "data"));
}

TEST_F(SysInfoFormTest, HeaderWithLogoAndGreenTitle) {
    TSysInfoForm form;
    auto* header = child<QWidget>(&form, "Panel1");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->height(), 81);
    EXPECT_EQ(header->palette().color(QPalette::Window), QColor(Qt::white));
    auto* title = child<QLabel>(&form, "Label13");
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->font().pixelSize(), 19);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_FALSE(text(child<QLabel>(&form, "Label16")).empty());

    // The logo, decoded from the program's own JPEG: 73 x 73, a sun over green fields on white.
    auto* logo = child<QLabel>(&form, "Image1");
    ASSERT_NE(logo, nullptr);
    const QImage picture = logo->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(73, 73));
    const auto near = [](QColor c, int r, int g, int b) {
        return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 && std::abs(c.blue() - b) < 40;
    };
    EXPECT_TRUE(near(picture.pixelColor(2, 2), 255, 255, 255)) << "white corner";
    EXPECT_TRUE(near(picture.pixelColor(36, 37), 255, 220, 80)) << "the sun";
    EXPECT_TRUE(near(picture.pixelColor(36, 70), 0, 128, 0)) << "the field";
}

TEST_F(SysInfoFormTest, FixedCaptionsBesideTheirControls) {
    TSysInfoForm form;
    const std::pair<const char*, const char*> captions[] = {
        {"v_init", "Init versjon"},
        {"v_build", "Build nr."},
        {"n_build", "Build dato"},
        {"v_id", "Build ID"},
        {"v_Kompilator", "Kompilert med"},
        {"PhysMem", "Minne tilgjengelig for Windows"},
        {"FreeRes", "Minne i bruk"},
        {"n_system", "Systemområde"},
        {"ProgramdataLabel", "Programdata"},
        {"Innstillinger", "Midlertidige filer:"},
        {"lHosts", "Hosts:"},
        {"lLMHosts", "Lmhosts:"},
        {"RapportLabel", "Rapportgenerator"},
    };
    for (const auto& [control, caption] : captions) {
        auto* cap = child<QLabel>(&form, QString::fromLatin1(control) + "Caption");
        if (cap) {
            EXPECT_EQ(text(cap), caption) << control;
        }
    }
    const std::pair<const char*, const char*> fixedTexts[] = {{"Label2", "Databaseversjon "},
                                                              {"Label14", "Utskrift"},
                                                              {"Label15", "og"},
                                                              {"Label19", "forhåndsvisning"}};
    for (const auto& [control, fixed] : fixedTexts)
        EXPECT_EQ(text(child<QLabel>(&form, control)), fixed) << control;
    EXPECT_EQ(child<QLabel>(&form, "TabulantLabel")->toolTip(),
              QStringLiteral("Start Tabulant Database Desktop"));
    EXPECT_EQ(child<QLabel>(&form, "Label2")->toolTip(), QStringLiteral("Gå til Devarts hjemmeside"));
    EXPECT_EQ(child<QLabel>(&form, "v_firma")->toolTip().toStdString(),
              std::string("Gå til Bedriftsnavs hjemmeside på internett, ") + kSuiteHomePage);
    EXPECT_FALSE(child<QLabel>(&form, "v_Kompilator")->toolTip().isEmpty());
}

TEST_F(SysInfoFormTest, LinksAreNavyWithTheHandCursor) {
    TSysInfoForm form;
    const char* links[] = {"v_Kompilator", "n_fil",         "nb_fil",           "eLogfil",       "cData",
                           "NotesLabel",   "n_system",      "ProgramdataLabel", "Innstillinger", "lHosts",
                           "lLMHosts",     "TabulantLabel", "v_firma",          "Label2",        "Label14",
                           "Label19",      "RapportLabel"};
    for (const char* name : links) {
        auto* l = child<ClickLabel>(&form, name);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(0, 0, 128)) << name;
        EXPECT_EQ(l->cursor().shape(), Qt::PointingHandCursor) << name;
    }
    for (const char* name : {"v_init", "Label15", "PhysMem", "Versjon"}) {
        auto* l = child<QLabel>(&form, name);
        EXPECT_NE(l->palette().color(QPalette::WindowText), QColor(0, 0, 128)) << name;
        EXPECT_NE(l->cursor().shape(), Qt::PointingHandCursor) << name;
    }
    for (const char* bold : {"TabulantLabel", "Label14", "Label15", "Label19", "cProgramnavn"})
        EXPECT_TRUE(child<QLabel>(&form, bold)->font().bold()) << bold;
}

TEST_F(SysInfoFormTest, LabelsAfterFilling) {
    InfoProgramnavn = "Spylerom";
    platform_.memory = platform::MemoryStatus{4294967295ULL, 0, 0};
    QLocale::setDefault(QLocale(QLocale::NorwegianBokmal, QLocale::Norway));
    const std::string separator = QLocale().groupSeparator().toStdString();
    ASSERT_FALSE(separator.empty());

    TSysInfoForm& form = shown();
    EXPECT_EQ(text(form.Label13), "Spylerom");
    EXPECT_EQ(text(form.cProgramnavn), programFile());
    EXPECT_EQ(text(form.PhysMem), "4" + separator + "194" + separator + "304 KB");
    EXPECT_EQ(text(form.FreeRes), "0 %");
    EXPECT_EQ(text(form.n_fil), maker() + "etc/solvarek.ini");
    EXPECT_EQ(text(form.nb_fil), maker() + "etc/OLA.INI");
    EXPECT_EQ(text(form.eLogfil), logFile());
    EXPECT_EQ(text(form.cData), maker() + "data/");
    EXPECT_EQ(text(form.n_system), windir());
    EXPECT_EQ(text(form.lHosts), windir() + "/hosts");
    EXPECT_EQ(text(form.ProgramdataLabel), appdata());
    EXPECT_EQ(text(form.Innstillinger), temp());
    EXPECT_EQ(text(form.v_init), "5.36");
    EXPECT_EQ(text(form.xmlv), "Solvarek XMLAPI 1.30");
    EXPECT_EQ(text(form.Peker), "Pekerstørrelse (datapointer) 256 bytes");
    EXPECT_TRUE(form.BitBtn1->hasFocus());
}

TEST_F(SysInfoFormTest, WithoutParametersTheNoticeAndNoList) {
    TSysInfoForm& form = shown();
    EXPECT_EQ(text(form.lParameter), "Ingen parametere til programmet");
    EXPECT_FALSE(form.ParamMemo->isVisible());
}

TEST_F(SysInfoFormTest, WithTwoParametersTheListInCommandLineOrder) {
    setProgramParameters(std::vector<std::string>{"--user", "kari nordmann"});
    TSysInfoForm& form = shown();
    EXPECT_EQ(text(form.lParameter), "Parameter:");
    EXPECT_TRUE(form.ParamMemo->isVisible());
    EXPECT_EQ(form.ParamMemo->toPlainText().toStdString(), "--user\nkari nordmann");
    EXPECT_EQ(form.ParamMemo->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(form.ParamMemo->palette().color(QPalette::Base), form.palette().color(QPalette::Window));
}

TEST_F(SysInfoFormTest, EveryShowingFillsAfresh) {
    InfoProgramnavn = "Spylerom";
    TSysInfoForm& form = shown();
    form.hide();
    InfoProgramnavn = "Annet";
    setProgramParameters(std::vector<std::string>{"-ip", "10.0.0.7"});
    form.show();
    EXPECT_EQ(text(form.Label13), "Annet");
    EXPECT_EQ(form.ParamMemo->toPlainText().toStdString(), "-ip\n10.0.0.7");
}

// The folders a link's target is made of.
struct Folders {
    std::string maker, windir, appdata, temp;
};

struct LinkCase {
    const char* name;
    std::function<LaunchRequest(const Folders&)> expected;
};
void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkTest : public SysInfoFormTest, public ::testing::WithParamInterface<LinkCase> {
protected:
    Folders folders() const { return {maker(), windir(), appdata(), temp()}; }
};

TEST_P(LinkTest, ClickStartsItsTarget) {
    env_.set("SystemRoot", windir());
    shown();
    platform_.launches.clear();
    click(GetParam().name);
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0], GetParam().expected(folders()));
}

TEST_P(LinkTest, DoubleClickStartsItOnce) {
    shown();
    platform_.launches.clear();
    doubleClickOn(child<ClickLabel>(form_.get(), GetParam().name));
    EXPECT_EQ(platform_.launches.size(), 1u);
}

LaunchRequest registered(const std::string& target) {
    return {target, "", "", std::nullopt};
}
LaunchRequest notepad(const std::string& file) {
    return {"notepad.exe", file, "", std::nullopt};
}
LaunchRequest explorer(const Folders& f, const std::string& folder) {
    return {f.windir + "/explorer.exe", folder, folder, std::nullopt};
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkTest,
    ::testing::Values(
        LinkCase{"v_Kompilator", [](const Folders&) { return registered(CompilerHomePage()); }},
        LinkCase{"n_fil", [](const Folders& f) { return notepad(f.maker + "etc/solvarek.ini"); }},
        LinkCase{"nb_fil", [](const Folders& f) { return notepad(f.maker + "etc/OLA.INI"); }},
        LinkCase{"eLogfil", [](const Folders&) { return registered(frame::logState().LogFileName); }},
        LinkCase{"cData", [](const Folders& f) { return explorer(f, f.maker + "data/"); }},
        LinkCase{"NotesLabel", [](const Folders&) { return registered(""); }},
        LinkCase{"n_system", [](const Folders& f) { return explorer(f, f.windir); }},
        LinkCase{"ProgramdataLabel", [](const Folders& f) { return registered(f.appdata); }},
        LinkCase{"Innstillinger", [](const Folders& f) { return registered(f.temp); }},
        LinkCase{"lHosts", [](const Folders& f) { return notepad(f.windir + "/hosts"); }},
        LinkCase{"lLMHosts", [](const Folders& f) { return notepad(f.windir + "/lmhosts"); }},
        LinkCase{"TabulantLabel", [](const Folders& f) { return registered(f.maker + "bin/tabulant"); }},
        LinkCase{"v_firma", [](const Folders&) { return registered(kSuiteHomePage); }},
        LinkCase{"Label2", [](const Folders&) { return registered(kDatabaseMakerHomePage); }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(SysInfoFormTest, ExplorerComesFromSystemRoot) {
    // Without SystemRoot the file manager's name stands alone; the platform maps it by name.
    shown();
    click("cData");
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0].file, "/explorer.exe");
    EXPECT_EQ(platform_.launches[0].parameters, maker() + "data/");
}

TEST_F(SysInfoFormTest, LogLinkWritesTheLinesBeforeOpeningTheFile) {
    frame::logState().LogEnabled = true;
    frame::WriteLog("første linje");
    frame::WriteLog("FEIL: andre linje");
    shown(); // may log the data folder's creation
    const std::vector<std::string> lines = frame::logState().LogLines;
    ASSERT_GE(lines.size(), 2u);
    click("eLogfil");
    ASSERT_EQ(platform_.launches.size(), 1u);
    std::string expected;
    for (const auto& line : lines)
        expected += line + "\r\n";
    EXPECT_NE(expected.find("FEIL: andre linje\r\n"), std::string::npos);
    ASSERT_TRUE(platform_.launches[0].logFileText.has_value()) << "the file exists when it is opened";
    EXPECT_EQ(*platform_.launches[0].logFileText, expected);
    EXPECT_EQ(readText(logFile()), expected);
    EXPECT_EQ(frame::logState().LogLines, lines) << "the lines stay in memory for the end of the run";
}

TEST_F(SysInfoFormTest, LogLinkWithLoggingOffWritesWhatTheLogHolds) {
    std::filesystem::create_directories(maker() + "log");
    writeText(logFile(), "gammel linje\r\n");
    frame::LoadLog();
    frame::logState().LogEnabled = false;
    frame::WriteLog("tatt bort");
    shown();
    click("eLogfil");
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0].logFileText, std::optional<std::string>("gammel linje\r\n"));

    // Only lines not yet in the file are added: what the file holds (more than the start
    // loaded of it, and other runs' lines) is never replaced by what memory holds.
    frame::logState().LogLines.clear();
    click("eLogfil");
    ASSERT_EQ(platform_.launches.size(), 2u);
    EXPECT_EQ(platform_.launches[1].logFileText, std::optional<std::string>("gammel linje\r\n"));
}

TEST_F(SysInfoFormTest, LogLinkMakesAMissingLogFolder) {
    frame::logState().LogEnabled = true;
    frame::WriteLog("linje");
    ASSERT_FALSE(std::filesystem::exists(maker() + "log"));
    shown();
    click("eLogfil");
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_TRUE(platform_.launches[0].logFileText.has_value());
}

TEST_F(SysInfoFormTest, LogLinkThatCannotWriteStillOpensTheFile) {
    // A file where the log folder should be: the folder cannot be made, nothing is damaged.
    writeText(root_.file("blocker"), "keep");
    frame::logState().LogFileName = root_.file("blocker") + "/spylerom.log";
    frame::logState().LogEnabled = true;
    frame::WriteLog("linje");
    shown();
    click("eLogfil");
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0].file, root_.file("blocker") + "/spylerom.log");
    EXPECT_EQ(readText(root_.file("blocker")), "keep");
    EXPECT_TRUE(frameUi_.boxes.empty()) << "nothing on the dialog reports an error";
}

TEST_F(SysInfoFormTest, PerUserLinkIsBuiltAtClickTime) {
    TSysInfoForm& form = shown();
    ASSERT_EQ(text(form.nb_fil), maker() + "etc/OLA.INI");
    frame::settingsState().SettingsFolder = root_.file("work") + "/";
    frame::settingsState().UserOverride = "kari";
    frame::settingsState().userNameCache.clear();
    click("nb_fil");
    ASSERT_EQ(platform_.launches.size(), 1u);
    EXPECT_EQ(platform_.launches[0], notepad(root_.file("work") + "/KARI.INI"));
    EXPECT_EQ(text(form.nb_fil), maker() + "etc/OLA.INI") << "the label keeps what was filled";
}

TEST_F(SysInfoFormTest, DoubleClickOnTheLogoWritesTheDesktopShortcut) {
    env_.set("USERPROFILE", home());
    std::filesystem::create_directories(home() + "/Skrivebord");
    TSysInfoForm& form = shown();
    doubleClickOn(form.Image1);
    const std::string shortcut =
        home() + "/Skrivebord/" + std::filesystem::path(programFile()).filename().string() + ".desktop";
    ASSERT_TRUE(test::exists(shortcut));
    EXPECT_NE(readText(shortcut).find(programFile()), std::string::npos);
    EXPECT_TRUE(frameUi_.boxes.empty());
}

TEST_F(SysInfoFormTest, ShortcutThatCannotBeWrittenIsShownToTheUser) {
    env_.set("USERPROFILE", home()); // no "Skrivebord" folder in it
    TSysInfoForm& form = shown();
    doubleClickOn(form.Image1);
    const std::string shortcut =
        home() + "/Skrivebord/" + std::filesystem::path(programFile()).filename().string() + ".desktop";
    ASSERT_EQ(frameUi_.boxes.size(), 1u);
    EXPECT_EQ(frameUi_.boxes[0].second, "Unable to write to " + shortcut);
    EXPECT_EQ(frameUi_.boxes[0].first, QApplication::applicationDisplayName().toStdString());
    EXPECT_FALSE(std::filesystem::exists(home() + "/Skrivebord"));
    EXPECT_TRUE(form.isVisible()) << "the dialog goes on";
}

// The hidden tab's switches with a shell that has a task bar.
struct TaskbarShell : ShellWindows {
    std::vector<std::string> calls;
    WindowHandle findWindow(const std::string& className) override {
        return className == "Shell_TrayWnd" ? 7 : 0;
    }
    WindowHandle findChild(WindowHandle, const std::string&) override { return kNoWindow; }
    WindowHandle firstChild(WindowHandle) override { return kNoWindow; }
    void enableWindow(WindowHandle window, bool enable) override {
        calls.push_back("enable " + std::to_string(window) + (enable ? " on" : " off"));
    }
    void showWindow(WindowHandle window, ShowCommand command) override {
        calls.push_back("show " + std::to_string(window) + " " + std::to_string(static_cast<int>(command)));
    }
    void setScreenSaverRunning(bool) override {}
};

TEST_F(SysInfoFormTest, DoubleClickOnTheTitleEnablesTheShellSwitches) {
    TaskbarShell shell;
    setShellWindows(&shell);
    TSysInfoForm& form = shown();
    for (QCheckBox* box : {form.cWinTast, form.cWinDisTask, form.cWinStartKnapp, form.cWinTray,
                           form.cWinShowTask, form.cWinDesktop})
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_FALSE(form.Panel2->isEnabled());

    doubleClickOn(form.Label13);
    EXPECT_TRUE(form.Panel2->isEnabled());
    EXPECT_FALSE(form.PageControl1->isTabVisible(form.PageControl1->indexOf(form.Panel2->parentWidget())))
        << "the tab stays out of reach";

    form.cWinDisTask->click();
    form.cWinDisTask->click();
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"enable 7 off", "enable 7 on"}));
}

// A way through the tabs by keyboard: keys pressed in turn, each at the widget with the focus,
// starting from the dialog as it opens (the focus on "Lukk").
struct KeyRoute {
    const char* name;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
};
void PrintTo(const KeyRoute& route, std::ostream* os) {
    *os << route.name;
}

std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>
repeated(Qt::Key key, Qt::KeyboardModifiers mods, int n,
         std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> before = {}) {
    for (int i = 0; i < n; ++i)
        before.emplace_back(key, mods);
    return before;
}

class HiddenTabKeyTest : public SysInfoFormTest, public ::testing::WithParamInterface<KeyRoute> {
protected:
    // Presses the route's keys and returns every tab made current on the way, in order.
    std::vector<int> walk(TSysInfoForm& form) {
        std::vector<int> visited;
        const auto connection = QObject::connect(form.PageControl1, &QTabWidget::currentChanged,
                                                 [&](int index) { visited.push_back(index); });
        for (const auto& [key, mods] : GetParam().keys) {
            QWidget* target = form.focusWidget() ? form.focusWidget() : &form;
            QTest::keyClick(target, key, mods);
        }
        QObject::disconnect(connection);
        return visited;
    }
};

TEST_P(HiddenTabKeyTest, TheSpecialTabIsNeverMadeCurrent) {
    TSysInfoForm& form = shown();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const int special = form.PageControl1->indexOf(form.Panel2->parentWidget());
    ASSERT_EQ(special, 5);
    const int last = form.PageControl1->count() - 1;

    for (const bool afterDoubleClick : {false, true}) {
        SCOPED_TRACE(afterDoubleClick ? "after the title's double-click" : "as the dialog opens");
        if (afterDoubleClick) {
            doubleClickOn(form.Label13);
            ASSERT_TRUE(form.Panel2->isEnabled());
            form.PageControl1->setCurrentIndex(0);
            form.BitBtn1->setFocus();
        }
        const std::vector<int> visited = walk(form);
        // The route did move through the tabs, past where the hidden one lies.
        EXPECT_NE(std::find(visited.begin(), visited.end(), special - 1), visited.end());
        EXPECT_NE(std::find(visited.begin(), visited.end(), last), visited.end());
        EXPECT_EQ(std::find(visited.begin(), visited.end(), special), visited.end())
            << "the hidden tab was reached";
        EXPECT_NE(form.PageControl1->currentIndex(), special);
        EXPECT_FALSE(form.Panel2->isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HiddenTabKeyTest,
    ::testing::Values(
        // Tab puts the focus on the tab bar; the arrows walk it both ways.
        KeyRoute{"TabThenRightPastTheEnd", repeated(Qt::Key_Right, Qt::NoModifier, 8, {{Qt::Key_Tab, {}}})},
        KeyRoute{"TabThenRightThenLeftBack",
                 repeated(Qt::Key_Left, Qt::NoModifier, 6,
                          repeated(Qt::Key_Right, Qt::NoModifier, 6, {{Qt::Key_Tab, {}}}))},
        // The tab widget's own keys, once the focus is inside it.
        KeyRoute{"CtrlTabRoundTwice", repeated(Qt::Key_Tab, Qt::ControlModifier, 14, {{Qt::Key_Tab, {}}})},
        KeyRoute{"CtrlShiftTabRoundTwice", repeated(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier,
                                                    14, {{Qt::Key_Tab, {}}})}),
    [](const ::testing::TestParamInfo<KeyRoute>& route) { return std::string(route.param.name); });

// Whether the page routine is the test page itself.
bool drawsTestPage() {
    const auto* routine = printing::pageState().PageDrawRoutine.target<void (*)()>();
    return routine && *routine == &printing::TestPage;
}

class ReportLinkTest : public SysInfoFormTest {
protected:
    void SetUp() override {
        SysInfoFormTest::SetUp();
        printing::ResetPageState();
        printing::pageState().PageDrawRoutine = [] {}; // another page, until a link asks for the test page
        preview_ = std::make_unique<printing::TPrintForm>();
    }
    void TearDown() override {
        preview_.reset();
        printing::ResetPageState();
        SysInfoFormTest::TearDown();
    }
    std::unique_ptr<printing::TPrintForm> preview_;
};

TEST_F(ReportLinkTest, PreviewLinksShowTheTestPage) {
    for (const char* name : {"Label19", "RapportLabel"}) {
        preview_->hide();
        printing::pageState().PageDrawRoutine = [] {};
        shown();
        click(name);
        EXPECT_TRUE(preview_->isVisible()) << name;
        EXPECT_TRUE(drawsTestPage()) << name;
        EXPECT_FALSE(printing::pageState().Printing);
    }
}

TEST_F(ReportLinkTest, PrintLinkPrintsTheTestPageOnce) {
    frame::WriteSettingInteger("Skriver_VisDialog", 1); // no printer setup dialog
    const std::string pdf = root_.file("test.pdf");
    QPrinter& printer = preview_->printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    shown();
    click("Label14");
    EXPECT_TRUE(drawsTestPage());
    EXPECT_FALSE(preview_->isVisible()) << "printing needs no preview";
    ASSERT_TRUE(test::exists(pdf));
    const std::string pages = capture("pdfinfo '" + pdf + "' | grep '^Pages:'");
    EXPECT_NE(pages.find(" 1\n"), std::string::npos) << pages;
    const std::string text = capture("pdftotext -enc UTF-8 '" + pdf + "' -");
    for (const char* wanted : {"Test utskrift", "TESTING", "Skal være på"})
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted;
    EXPECT_TRUE(frameUi_.boxes.empty());
}

TEST_F(ReportLinkTest, PreviewOpenedFromTheModalDialogTakesTheMouse) {
    QWidget mainWindow;
    mainWindow.resize(667, 421);
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    int pageClicks = 0;
    printing::pageState().PageClickRoutine = [&](printing::MouseButton, printing::ShiftState, std::int32_t,
                                                 std::int32_t) { ++pageClicks; };
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TSysInfoForm*>(modal);
        EXPECT_NE(dialog, nullptr);
        if (dialog) {
            clickOn(dialog->Label19);
            EXPECT_TRUE(QTest::qWaitForWindowExposed(preview_.get()));
            QTest::mouseClick(preview_->windowHandle(), Qt::LeftButton, {},
                              preview_->PaintBox->mapTo(preview_.get(), QPoint(20, 20)));
        }
        modal->close();
    });
    VisSystemInfo();
    EXPECT_EQ(pageClicks, 1) << "the preview is not blocked by the dialog";
}

TEST_F(SysInfoFormTest, VisSystemInfoOpensAFreshModalDialogEachTime) {
    QWidget mainWindow;
    mainWindow.resize(667, 421);
    auto* menuButton = new QPushButton(QStringLiteral("Meny"), &mainWindow);
    menuButton->setGeometry(0, 0, 667, 421);
    int menuClicks = 0;
    QObject::connect(menuButton, &QPushButton::clicked, [&] { ++menuClicks; });
    mainWindow.show();
    mainWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));

    std::vector<std::string> titles;
    std::vector<QPointer<QWidget>> dialogs;
    const auto inspectAndClose = [&](bool closeBox) {
        whenModal([&, closeBox](QWidget* modal) {
            auto* dialog = qobject_cast<TSysInfoForm*>(modal);
            EXPECT_NE(dialog, nullptr);
            if (!dialog)
                return modal->close();
            dialogs.emplace_back(dialog);
            EXPECT_TRUE(dialog->isModal());
            EXPECT_EQ(dialog->parentWidget(), &mainWindow);
            titles.push_back(text(dialog->Label13));
            clickOn(menuButton); // the window that opened the dialog waits for it
            EXPECT_FALSE(text(dialog->PhysMem).empty());
            if (closeBox)
                return dialog->close();
            dialog->BitBtn1->click();
            return true;
        });
    };

    InfoProgramnavn = "Spylerom";
    inspectAndClose(false);
    VisSystemInfo();
    InfoProgramnavn = "Spylerom 2";
    inspectAndClose(true);
    VisSystemInfo();

    EXPECT_EQ(titles, (std::vector<std::string>{"Spylerom", "Spylerom 2"}));
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_TRUE(dialogs[0].isNull() && dialogs[1].isNull()) << "each dialog is destroyed when it closes";
    EXPECT_EQ(menuClicks, 0);
    clickOn(menuButton);
    EXPECT_EQ(menuClicks, 1) << "usable again once the dialog is closed";
}

} // namespace
} // namespace spylerom::sysinfo
