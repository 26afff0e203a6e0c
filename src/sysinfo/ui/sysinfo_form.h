// TSysInfoForm, the modal dialog "Solvarek systeminformasjon": the program's build facts and
// parameters, its files and folders as links, the machine's memory and system folders, the
// maker's other products, the test page's print and preview, and the hidden shell switches.
// The facts and what each link starts are the core's (system_facts, link_actions,
// shell_toggles); printing is the preview window's.
//
// Use:
//   - The program entry creates one TSysInfoForm hidden right after the main window and keeps
//     it to the end; it is never shown.
//   - The menu sets InfoProgramnavn and calls VisSystemInfo(), which opens a new dialog, modal,
//     filled afresh, and destroys it when it closes.
#pragma once

#include "sysinfo/system_facts.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace spylerom::sysinfo {

class ClickLabel;

class TSysInfoForm : public QDialog {
    Q_OBJECT

public:
    explicit TSysInfoForm(QWidget* parent = nullptr);
    ~TSysInfoForm() override;
    TSysInfoForm(const TSysInfoForm&) = delete;
    TSysInfoForm& operator=(const TSysInfoForm&) = delete;

    // Header and bottom.
    ClickLabel* Image1 = nullptr;  // the maker's logo; a double-click writes the desktop shortcut
    ClickLabel* Label13 = nullptr; // the title; a double-click enables the shell switches
    QLabel* Label16 = nullptr;     // the maker's notice
    QPushButton* BitBtn1 = nullptr;
    QTabWidget* PageControl1 = nullptr;

    // "Program"
    QLabel* cProgramnavn = nullptr;
    QLabel* v_init = nullptr;
    QLabel* v_build = nullptr;
    QLabel* n_build = nullptr;
    QLabel* v_id = nullptr;
    ClickLabel* v_Kompilator = nullptr;
    QLabel* xmlv = nullptr;
    QLabel* lParameter = nullptr;
    QPlainTextEdit* ParamMemo = nullptr;
    // "Filer og mapper"
    ClickLabel* n_fil = nullptr;
    ClickLabel* nb_fil = nullptr;
    ClickLabel* eLogfil = nullptr;
    ClickLabel* cData = nullptr;
    ClickLabel* NotesLabel = nullptr;
    // "Windows"
    QLabel* PhysMem = nullptr;
    QLabel* FreeRes = nullptr;
    QLabel* v_platform = nullptr;
    ClickLabel* n_system = nullptr;
    ClickLabel* ProgramdataLabel = nullptr;
    ClickLabel* Innstillinger = nullptr;
    ClickLabel* lHosts = nullptr;
    ClickLabel* lLMHosts = nullptr;
    // "Tabulant"
    ClickLabel* TabulantLabel = nullptr;
    QLabel* Versjon = nullptr;
    QLabel* Dato = nullptr;
    QLabel* Bruker = nullptr;
    QLabel* Peker = nullptr;
    QLabel* TabulantCache = nullptr;
    // "Bedriftsnav"
    ClickLabel* v_firma = nullptr;
    ClickLabel* Label2 = nullptr;
    QLabel* v_Flash = nullptr;
    // "Spesial" (its tab button hidden)
    QFrame* Panel2 = nullptr;
    QCheckBox* cWinTast = nullptr;
    QCheckBox* cWinDisTask = nullptr;
    QCheckBox* cWinStartKnapp = nullptr;
    QCheckBox* cWinTray = nullptr;
    QCheckBox* cWinShowTask = nullptr;
    QCheckBox* cWinDesktop = nullptr;
    // "Rapport"
    ClickLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    ClickLabel* Label19 = nullptr;
    ClickLabel* RapportLabel = nullptr;

    // Handlers.
    void FormShow(); // fills every label
    void Image1DblClick();
    void Label13DblClick();
    void v_KompilatorClick();
    void n_filClick();
    void nb_filClick();
    void eLogfilClick();
    void cDataClick();
    void NotesLabelClick();
    void n_systemClick();
    void ProgramdataLabelClick();
    void InnstillingerClick();
    void lHostsClick();
    void lLMHostsClick();
    void TabulantLabelClick();
    void v_firmaClick();
    void Label2Click();
    void Label14Click(); // prints the test page
    void Label19Click(); // previews the test page
    void RapportLabelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildBottom();
    QWidget* buildProgramTab();
    QWidget* buildFilesTab();
    QWidget* buildWindowsTab();
    QWidget* buildTabulantTab();
    QWidget* buildSuiteTab();
    QWidget* buildSpecialTab();
    QWidget* buildReportTab();
    void connectHandlers();
    void showFacts(const SystemFacts& facts);
};

// Opens a new dialog modally over the active window, filled afresh, and destroys it when it
// closes. The caller sets InfoProgramnavn first.
void VisSystemInfo();

// The parameters the dialog lists: the application's arguments after the program path, unless
// a list was put in their place (nullopt puts the application's arguments back).
std::vector<std::string> programParameters();
void setProgramParameters(std::optional<std::vector<std::string>> parameters);

} // namespace spylerom::sysinfo
