#include "sysinfo/ui/sysinfo_form.h"

#include "frame/frame_ui.h"
#include "frame/launch.h"
#include "printing/page_state.h"
#include "printing/test_page.h"
#include "printing/ui/print_form.h"
#include "sysinfo/build_facts.h"
#include "sysinfo/link_actions.h"
#include "sysinfo/shell_toggles.h"
#include "sysinfo/ui/click_label.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>
#include <functional>

namespace spylerom::sysinfo {

namespace {

std::optional<std::vector<std::string>> g_parameters;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string text(const QLabel* l) {
    return l->text().toStdString();
}

// Runs a slot's work under the application's general error report.
void guarded(const std::function<void()>& work) {
    frame::GuardedHandler(QGuiApplication::applicationDisplayName().toStdString(), work);
}

// The test page is the page the preview and the printer draw.
void useTestPage() {
    printing::pageState().PageDrawRoutine = printing::TestPage;
}

} // namespace

TSysInfoForm::TSysInfoForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SysInfoForm"));
    setWindowTitle(QStringLiteral("Solvarek systeminformasjon"));
    // A fixed dialog border with the system menu and its close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(527, 375);

    QWidget* header = buildHeader();
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    PageControl1->tabBar()->setExpanding(false);
    PageControl1->addTab(buildProgramTab(), QStringLiteral("Program"));
    PageControl1->addTab(buildFilesTab(), QStringLiteral("Filer og mapper"));
    PageControl1->addTab(buildWindowsTab(), QStringLiteral("Windows"));
    PageControl1->addTab(buildTabulantTab(), QStringLiteral("Tabulant"));
    PageControl1->addTab(buildSuiteTab(), QStringLiteral("Bedriftsnav"));
    const int special = PageControl1->addTab(buildSpecialTab(), QStringLiteral("Spesial"));
    PageControl1->addTab(buildReportTab(), QStringLiteral("Rapport"));
    // Nothing in the program shows this tab's button: the user cannot reach it. A hidden button
    // is still a step for the tab bar's arrow keys, Ctrl+Tab and the wheel; a disabled one is
    // not. Only the button is disabled: the page keeps its own state (Panel2 is enabled by the
    // title's double-click).
    PageControl1->setTabVisible(special, false);
    PageControl1->tabBar()->setTabEnabled(special, false);
    PageControl1->setCurrentIndex(0);
    QWidget* bottom = buildBottom();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(header);
    column->addWidget(PageControl1, 1);
    column->addWidget(bottom);

    connectHandlers();
}

TSysInfoForm::~TSysInfoForm() = default;

void TSysInfoForm::connectHandlers() {
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Image1, &ClickLabel::doubleClicked, this, &TSysInfoForm::Image1DblClick);
    connect(Label13, &ClickLabel::doubleClicked, this, &TSysInfoForm::Label13DblClick);
    const std::pair<ClickLabel*, void (TSysInfoForm::*)()> links[] = {
        {v_Kompilator, &TSysInfoForm::v_KompilatorClick},
        {n_fil, &TSysInfoForm::n_filClick},
        {nb_fil, &TSysInfoForm::nb_filClick},
        {eLogfil, &TSysInfoForm::eLogfilClick},
        {cData, &TSysInfoForm::cDataClick},
        {NotesLabel, &TSysInfoForm::NotesLabelClick},
        {n_system, &TSysInfoForm::n_systemClick},
        {ProgramdataLabel, &TSysInfoForm::ProgramdataLabelClick},
        {Innstillinger, &TSysInfoForm::InnstillingerClick},
        {lHosts, &TSysInfoForm::lHostsClick},
        {lLMHosts, &TSysInfoForm::lLMHostsClick},
        {TabulantLabel, &TSysInfoForm::TabulantLabelClick},
        {v_firma, &TSysInfoForm::v_firmaClick},
        {Label2, &TSysInfoForm::Label2Click},
        {Label14, &TSysInfoForm::Label14Click},
        {Label19, &TSysInfoForm::Label19Click},
        {RapportLabel, &TSysInfoForm::RapportLabelClick},
    };
    for (const auto& [label, handler] : links)
        connect(label, &ClickLabel::clicked, this, handler);
    // Each switch acts on its new state.
    const std::pair<QCheckBox*, void (*)(bool)> switches[] = {
        {cWinTast, &cWinTastClick},
        {cWinDisTask, &cWinDisTaskClick},
        {cWinStartKnapp, &cWinStartKnappClick},
        {cWinTray, &cWinTrayClick},
        {cWinShowTask, &cWinShowTaskClick},
        {cWinDesktop, &cWinDesktopClick},
    };
    for (const auto& [box, action] : switches)
        connect(box, &QCheckBox::clicked, this,
                [action](bool checked) { guarded([&] { action(checked); }); });
}

void TSysInfoForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        guarded([this] { FormShow(); });
        BitBtn1->setFocus();
    }
}

void TSysInfoForm::FormShow() {
    const QString separator = QLocale().groupSeparator();
    showFacts(CollectSystemFacts(programParameters(), separator.toStdString()));
}

void TSysInfoForm::showFacts(const SystemFacts& f) {
    const std::pair<QLabel*, const std::string*> texts[] = {
        {Label13, &f.Label13},
        {cProgramnavn, &f.cProgramnavn},
        {PhysMem, &f.PhysMem},
        {FreeRes, &f.FreeRes},
        {v_init, &f.v_init},
        {v_build, &f.v_build},
        {v_firma, &f.v_firma},
        {n_build, &f.n_build},
        {v_Flash, &f.v_Flash},
        {v_Kompilator, &f.v_Kompilator},
        {v_id, &f.v_id},
        {n_fil, &f.n_fil},
        {nb_fil, &f.nb_fil},
        {v_platform, &f.v_platform},
        {n_system, &f.n_system},
        {xmlv, &f.xmlv},
        {eLogfil, &f.eLogfil},
        {lHosts, &f.lHosts},
        {lLMHosts, &f.lLMHosts},
        {cData, &f.cData},
        {lParameter, &f.lParameter},
        {TabulantLabel, &f.TabulantLabel},
        {TabulantCache, &f.TabulantCache},
        {Versjon, &f.Versjon},
        {Dato, &f.Dato},
        {Bruker, &f.Bruker},
        {Peker, &f.Peker},
        {NotesLabel, &f.NotesLabel},
        {ProgramdataLabel, &f.ProgramdataLabel},
        {Innstillinger, &f.Innstillinger},
        {RapportLabel, &f.RapportLabel},
    };
    for (const auto& [l, value] : texts)
        l->setText(qs(*value));
    ParamMemo->clear();
    for (const auto& parameter : f.ParamMemo)
        ParamMemo->appendPlainText(qs(parameter));
    ParamMemo->setVisible(f.ParamMemoVisible);
}

void TSysInfoForm::Image1DblClick() {
    // A shortcut that cannot be written reaches the user with the reason.
    guarded([] { frame::CreateDesktopShortcut(); });
}

void TSysInfoForm::Label13DblClick() {
    Panel2->setEnabled(true);
}

void TSysInfoForm::v_KompilatorClick() {
    guarded([] { OpenWithRegisteredProgram(CompilerHomePage()); });
}

void TSysInfoForm::n_filClick() {
    guarded([] { OpenSettingsFile(); });
}

void TSysInfoForm::nb_filClick() {
    guarded([] { OpenUserSettingsFile(); });
}

void TSysInfoForm::eLogfilClick() {
    guarded([] { OpenLogFile(); });
}

void TSysInfoForm::cDataClick() {
    guarded([this] { StartExplorerOn(text(cData)); });
}

void TSysInfoForm::NotesLabelClick() {
    guarded([this] { OpenWithRegisteredProgram(text(NotesLabel)); });
}

void TSysInfoForm::n_systemClick() {
    guarded([this] { StartExplorerOn(text(n_system)); });
}

void TSysInfoForm::ProgramdataLabelClick() {
    guarded([this] { OpenWithRegisteredProgram(text(ProgramdataLabel)); });
}

void TSysInfoForm::InnstillingerClick() {
    guarded([this] { OpenWithRegisteredProgram(text(Innstillinger)); });
}

void TSysInfoForm::lHostsClick() {
    guarded([this] { OpenInNotepad(text(lHosts)); });
}

void TSysInfoForm::lLMHostsClick() {
    guarded([this] { OpenInNotepad(text(lLMHosts)); });
}

void TSysInfoForm::TabulantLabelClick() {
    guarded([] { StartTabulant(); });
}

void TSysInfoForm::v_firmaClick() {
    guarded([] { OpenWithRegisteredProgram(kSuiteHomePage); });
}

void TSysInfoForm::Label2Click() {
    guarded([] { OpenWithRegisteredProgram(kDatabaseMakerHomePage); });
}

void TSysInfoForm::Label14Click() {
    guarded([] {
        useTestPage();
        printing::PrintPage();
    });
}

void TSysInfoForm::Label19Click() {
    guarded([] {
        useTestPage();
        printing::ShowPreview();
    });
}

void TSysInfoForm::RapportLabelClick() {
    Label19Click();
}

namespace {

// The window the dialog opens centred on: the active one (whose menu opened it), else the first
// visible ordinary window (when the system gave the focus elsewhere).
QWidget* ownerWindow() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::Window)
            return w;
    return nullptr;
}

} // namespace

void VisSystemInfo() {
    TSysInfoForm dialog(ownerWindow());
    // Modal to the window that opened it, so the preview it opens stays usable meanwhile.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

std::vector<std::string> programParameters() {
    if (g_parameters)
        return *g_parameters;
    std::vector<std::string> parameters;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        parameters.push_back(arguments[i].toStdString());
    return parameters;
}

void setProgramParameters(std::optional<std::vector<std::string>> parameters) {
    g_parameters = std::move(parameters);
}

} // namespace spylerom::sysinfo
