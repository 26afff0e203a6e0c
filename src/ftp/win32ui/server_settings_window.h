// TServerOppsettForm on Win32: the modal dialog that edits one server's settings (name, host,
// folder, user name, password, port, SSL) in the section of its kind ("FTP" ->
// "SERVER-SETTING-FTP"). It fills its boxes from the section when shown and stores them there
// when closed, the password through KodTekst; a double-click on the password box shows or masks
// it. Writing the file is the settings store's business.
#pragma once

#include <windows.h>

#include <string>

namespace spylerom::ftp {

class ServerSettingsWindow {
public:
    // Control identifiers, in tab order.
    enum Control : int { Navn = 101, Server, Mappe, Brukernavn, Passord, Port, SSLL };

    explicit ServerSettingsWindow(HWND owner = nullptr) : owner_(owner) {}
    ServerSettingsWindow(const ServerSettingsWindow&) = delete;
    ServerSettingsWindow& operator=(const ServerSettingsWindow&) = delete;

    // Sets the caption and the server kind, shows the dialog modally over the owner and returns
    // once the user closed it (close box or Escape) and the entries were stored.
    void VisServerOppsett(const std::string& caption, const std::string& kind);
    // While shown: the dialog window (tests drive it through its messages); nullptr otherwise.
    HWND hwnd() const { return window_; }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK passwordProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void create(const std::string& caption);
    void load();
    bool store();
    std::string text(int control) const;
    void setText(int control, const std::string& value);

    HWND owner_;
    HWND window_ = nullptr;
    WNDPROC editProc_ = nullptr;
    std::string kind_ = "FTP";
    bool done_ = false;
};

} // namespace spylerom::ftp
