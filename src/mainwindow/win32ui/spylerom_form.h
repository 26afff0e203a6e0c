// TSpyleRomForm (Win32): the main window. It shows the four choices, the fill's progress and
// the information panel with its notices; what the window decides beyond drawing (creation and
// close, the remembered choices, the run and its Stop, when progress is painted) is the
// MainController's, and the fill is the engine's. Its menu hands the log, the system
// information and the update to the frame and the dialog. The message loop is the program's:
// it hands every message to translate() first, for the keyboard (Tab, Alt+S, Ctrl+Q).
#pragma once

#include "gui/win32/window_placement.h"
#include "mainwindow/main_controller.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace spylerom::mainwindow {

class TSpyleRomForm : private MainView {
public:
    // The controls' and menu items' identifiers (GetDlgItem, WM_COMMAND). None is IDOK or
    // IDCANCEL, which the dialog keyboard sends for Enter and Escape.
    enum Control : int {
        ValgGruppe = 101,
        Label1,
        Stasjon,
        Label2,
        FyllCombo,
        antLabel,
        TrackBar1,
        Label9,
        BlockCombo,
        GroupBox2,
        plabel,
        pbar,
        pbar2,
        status,
        Bar,
        StoppKnapp,
        Startknapp,
        Label8,
        Image1,
        Label3,
        Label5,
        Label4,
        Label6,
        Label7,
        FyllMemo,
        RepeatMemo,
        StasjonMemo,
        BlockMemo,
        StartMemo,
        VentMemo,
    };
    enum MenuItem : int { Vislogg1 = 301, Avslytt1, Systeminformasjon1, Direkteoppdateringfrainternett1 };

    static constexpr int kClientWidth = 659; // the client area under the menu bar, at 96 DPI
    static constexpr int kClientHeight = 375;

    // Builds the window, hidden, and runs FormCreate. hwnd() is null when the system refused
    // the window (nothing else works then).
    TSpyleRomForm();
    ~TSpyleRomForm() override;
    TSpyleRomForm(const TSpyleRomForm&) = delete;
    TSpyleRomForm& operator=(const TSpyleRomForm&) = delete;

    HWND hwnd() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    // Shows the window where the placement put it, and activates it.
    void show();

    fill::FillEngine& engine() { return controller_.engine(); }
    // Ends the program once no fill runs any more: at once when idle, otherwise after the
    // running pass has been stopped and has cleaned up (the window's close is not run).
    void quitWhenIdle() { controller_.quitWhenIdle(); }

    // The window's keyboard: the menu's shortcut and the dialog keys (Tab between the
    // choices, Alt+S for the button of that letter). True when msg was handled so.
    bool translate(MSG& msg);

    // Runs when the window has closed (its close accepted), which asks the program to end.
    std::function<void()> onClosed;
    // Opens the system information dialog, modal over the window; unset: the menu item beeps.
    std::function<void(HWND owner)> onSystemInformation;
    // Runs when the session ends (WM_ENDSESSION): the program must end before the message
    // returns, as the system ends the process then.
    std::function<void()> onSessionEnd;
    bool closed() const { return closed_; }

    // The pointer the fill asked for; the frame's wait cursor shows over it while on.
    fill::Pointer pointer() const { return pointer_; }
    void setFrameWait(bool wait);

    // The notices of the choices, shown while a choice has the focus.
    void StasjonEnter();
    void StasjonExit();
    void FyllComboEnter();
    void FyllComboExit();
    void TrackBar1Enter();
    void TrackBar1Exit();
    void BlockComboEnter();
    void BlockComboExit();

    // The window's pixels for designed (96 DPI) pixels.
    int scale(int designed) const { return MulDiv(designed, dpi_, 96); }

private:
    // MainView.
    int fillIndex() const override;
    int blockIndex() const override;
    int trackBarPosition() const override;
    int driveIndex() const override;
    void setDriveItems(const std::vector<DriveItem>& items) override;
    void selectDrive(int index) override;
    void selectFill(int index) override;
    void selectBlock(int index) override;
    void setTrackBarPosition(int position) override;
    void showPassBar(int position) override;
    void showTotalBar(int position) override;
    void showProgressText(const std::string& text) override;
    void showUsageBar(int maximum, int position) override;
    void showStatusText(const std::string& text) override;
    void setRepetitionText(const std::string& text) override;
    void setStartNoticeVisible(bool visible) override;
    void setStartNoticeLines(const std::vector<std::string>& lines) override;
    void setWaitNoticeVisible(bool visible) override;
    void setPointer(fill::Pointer pointer) override;
    void showIdleButtons() override;
    void showRunningButtons() override;
    void repaintNow() override;
    void processMessages() override;
    void closeNow() override;
    void closeLater() override;
    void endMessageLoop() override;
    void showSystemInformation() override;
    frame::PlacementWindow& placement() override { return placement_; }

    // A control and where the design puts it (client pixels at 96 DPI).
    struct Placed {
        HWND hwnd;
        RECT designed; // left, top, right, bottom
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK choiceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void command(int id, int code);
    bool closeRequested();
    void choiceFocus(int id, bool entered);
    LRESULT colourOf(HWND control, HDC dc);
    void drawButton(const DRAWITEMSTRUCT& item);
    void paintPanel(HDC dc);
    void applyCursor();

    // Building (spylerom_form_build.cpp).
    void build();
    HWND add(const wchar_t* kind, const std::string& text, DWORD style, int id, RECT designed,
             DWORD exStyle = 0);
    void buildChoices();
    void buildStatus();
    void buildButtons();
    void buildPanel();
    void buildNotices();
    void buildMenu();
    void buildTips();
    void makeFonts();
    void layOut(); // every control and the window's size for the current DPI
    void layOutPanelTexts();
    void dpiChanged(int dpi, const RECT* suggested);
    void freeFonts();
    static int windowDpi(HWND window);

    HWND window_ = nullptr;
    HWND tips_ = nullptr;
    HACCEL accelerators_ = nullptr;
    int dpi_ = 96;
    std::vector<Placed> placed_;
    HFONT font_ = nullptr;      // Tahoma 8
    HFONT startFont_ = nullptr; // MS Sans Serif 10 bold
    HFONT titleFont_ = nullptr; // Tahoma 9 bold underlined
    HFONT italicFont_ = nullptr;
    HBRUSH white_ = nullptr;
    HBRUSH lightBlue_ = nullptr;
    HBITMAP emblem_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    fill::Pointer pointer_ = fill::Pointer::Normal;
    bool frameWait_ = false;
    bool closed_ = false;

    gui::win32::WindowPlacement placement_;
    MainController controller_;
};

} // namespace spylerom::mainwindow
