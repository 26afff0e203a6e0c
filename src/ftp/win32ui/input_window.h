// TInputForm on Win32 ("Input:"): a small modal dialog that asks for one line of text, without
// title-bar buttons, ended only by its O&k (Enter) or &Avbryt (Escape) button. What the answer
// means is the caller's business.
#pragma once

#include <windows.h>

#include <string>

namespace spylerom::ftp {

class InputWindow {
public:
    enum Control : int { Label1 = 201, Edit1, BitBtn1 = IDOK, BitBtn2 = IDCANCEL };

    explicit InputWindow(HWND owner = nullptr) : owner_(owner) {}
    InputWindow(const InputWindow&) = delete;
    InputWindow& operator=(const InputWindow&) = delete;

    // Shows the dialog modally with caption, prompt and a proposed answer. True after O&k, with
    // answer holding the text; false after &Avbryt, with answer untouched.
    bool ask(const std::string& caption, const std::string& prompt, std::string& answer);
    // While shown: the dialog window (tests drive it through its messages); nullptr otherwise.
    HWND hwnd() const { return window_; }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void create(const std::string& caption, const std::string& prompt, const std::string& answer);

    HWND owner_;
    HWND window_ = nullptr;
    int result_ = 0; // IDOK or IDCANCEL once ended
};

} // namespace spylerom::ftp
