// TSysInfoForm on Win32, the modal dialog "Solvarek systeminformasjon": the program's build facts
// and parameters, its files and folders as links, the machine's memory and system folders, the
// maker's other products, the test page's print and preview, and the hidden shell switches.
// The facts and what each link starts are the core's (system_facts, link_actions,
// shell_toggles); printing is the preview window's; the logo is the program's resource.
//
// Use: the menu sets InfoProgramnavn and calls VisSystemInfo(), which makes a new dialog, shows it
// modally over the active window, filled afresh, and destroys it when it closes. Tests make one
// themselves, show it without the modal loop (Show) and drive it through its controls' messages.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace spylerom::sysinfo {

class TSysInfoForm {
public:
    // The controls' identifiers (the WM_COMMAND notifications name them).
    enum Control : int {
        BitBtn1 = IDOK,
        Image1 = 1501,
        Label13,
        Label16,
        PageControl1,
        // "Program"
        cProgramnavn,
        v_init,
        v_build,
        n_build,
        v_id,
        v_Kompilator,
        xmlv,
        lParameter,
        ParamMemo,
        // "Filer og mapper"
        n_fil,
        nb_fil,
        eLogfil,
        cData,
        NotesLabel,
        // "Windows"
        PhysMem,
        FreeRes,
        v_platform,
        n_system,
        ProgramdataLabel,
        Innstillinger,
        lHosts,
        lLMHosts,
        // "Tabulant"
        TabulantLabel,
        Versjon,
        Dato,
        Bruker,
        Peker,
        TabulantCache,
        // "Bedriftsnav"
        v_firma,
        Label2,
        v_Flash,
        // "Spesial"
        Panel2,
        cWinTast,
        cWinDisTask,
        cWinStartKnapp,
        cWinTray,
        cWinShowTask,
        cWinDesktop,
        // "Rapport"
        Label14,
        Label15,
        Label19,
        RapportLabel,
        kLastControl = RapportLabel,
    };

    // The tab pages in their order; Spesial has no tab button.
    enum Page : int { Program, FilerOgMapper, Windows, Tabulant, Bedriftsnav, Spesial, Rapport, kPageCount };

    // Makes the dialog hidden, centred on owner (the screen when none). Check created().
    explicit TSysInfoForm(HWND owner = nullptr);
    ~TSysInfoForm();
    TSysInfoForm(const TSysInfoForm&) = delete;
    TSysInfoForm& operator=(const TSysInfoForm&) = delete;

    bool created() const { return window_ != nullptr; }
    // The dialog while it exists (closing destroys it), nullptr otherwise.
    HWND handle() const { return window_; }
    // A control by its identifier, on whichever panel or page it sits; nullptr when none.
    HWND control(int id) const;
    // A tab page's window.
    HWND page(Page which) const { return pages_[which]; }
    // The page shown now.
    Page currentPage() const { return current_; }
    // The tab pages' captions, in order, as the tab control holds them (Spesial is not among them).
    std::vector<std::string> tabCaptions() const;
    // The fixed caption written beside a control; empty when it has none.
    std::string captionOf(int id) const;
    bool isLink(int id) const;

    // Fills every label and shows the dialog without waiting (the modal loop is ShowModal's).
    void Show();
    // Show, then the owner disabled and the messages handled until the dialog closes.
    void ShowModal();
    // Ends the dialog as "Lukk" and the close box do: the owner back, the window destroyed.
    void Close();

    // Handlers.
    void FormShow(); // fills every label
    void Image1DblClick();
    void Label13DblClick();
    void linkClick(int id); // the click of any link label
    void switchClick(int id);

private:
    static LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void build();
    void buildHeader();
    void buildBottom();
    void buildTabs();
    void buildProgramPage(HWND page);
    void buildFilesPage(HWND page);
    void buildWindowsPage(HWND page);
    void buildTabulantPage(HWND page);
    void buildSuitePage(HWND page);
    void buildSpecialPage(HWND page);
    void buildReportPage(HWND page);
    HWND panel(HWND parent, int x, int y, int width, int height, DWORD exStyle = 0);
    HWND addControl(HWND parent, const wchar_t* kind, int id, const std::string& text, DWORD style, int x,
                    int y, int width, int height);
    HWND addLabel(HWND parent, int id, int x, int y, int width, bool bold = false);
    HWND addLink(HWND parent, int id, int x, int y, int width, bool bold = false);
    void addCaption(HWND parent, int id, const std::string& caption, int x, int y, int width);
    void showPage(Page which);
    void setText(int id, const std::string& text);
    std::string text(int id) const;
    HBRUSH colourStatic(HDC dc, HWND control);
    bool setCursor(HWND over);
    void command(int id, int code);

    HWND owner_;
    HWND window_ = nullptr;
    HWND header_ = nullptr;
    HWND tabs_ = nullptr;
    HWND pages_[kPageCount] = {};
    Page current_ = Program;
    bool modal_ = false;
    bool ownerWasEnabled_ = false;
    HFONT font_ = nullptr, bold_ = nullptr, title_ = nullptr, small_ = nullptr;
    HBRUSH white_ = nullptr;
    HBITMAP logo_ = nullptr;
    std::map<int, HWND> controls_;
    std::vector<int> links_;
    std::vector<std::pair<int, std::string>> captions_;
};

// Opens a new dialog modally over the active window, filled afresh, and destroys it when it
// closes. The caller sets InfoProgramnavn first.
void VisSystemInfo();

// The parameters the dialog lists: the program's command-line arguments after its path, unless a
// list was put in their place (nullopt puts the command line back).
std::vector<std::string> programParameters();
void setProgramParameters(std::optional<std::vector<std::string>> parameters);

} // namespace spylerom::sysinfo
