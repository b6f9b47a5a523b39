// MainForm: the one window of the program. Its controls are the only copy of the settings in
// memory between the read when it opens and the write when OK is pressed.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <type_traits>

#include "settings/Winlogon.h"

class MainForm {
public:
    static constexpr const wchar_t* kCaption = L"Quellin Ver 1.0.1";

    // Creates the window, loads the settings and shows it, then runs the message loop until
    // the window ends. Returns the exit code.
    static int Run(HINSTANCE instance, int show);

    MainForm() = default;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;
    ~MainForm();

    // Creates the window and its controls at its monitor's DPI and runs Form_Load. The window
    // is not shown yet.
    bool Create(HINSTANCE instance);
    HWND Window() const { return hwnd_; }

    // The DPI of the monitor the window stands on. Replaceable, so that a test can stand the
    // window on a monitor whose DPI differs from the system's.
    static int (*WindowDpi)(HWND window);

    // Read: shows the stored settings, running the reactions as the options and boxes change.
    // Write: stores the settings the controls show and says what could not be stored.
    void レジストリデータ取得処理();
    Winlogon::StoreResult レジストリデータ書き込み処理();

private:
    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using FontOwner = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool PressFocusedButtonOnEnter(const MSG& msg);
    void LayOut(HINSTANCE instance);
    void RememberFocus();
    void End();

    // Event procedures.
    void Form_Load();
    void OnOption_Click();
    void DontDisplayLastUserNameCheck_Click();
    void OKCommand_Click();
    void CancelCommand_Click();

    // Changing an option or the last-user box in code runs its reaction at once, nested, as a
    // click would: BM_SETCHECK itself notifies nobody.
    void SelectAutoLogon(bool on);
    void SetDontDisplayLastUserName(int state);

    static bool IsChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    HWND TextBox(int i) const { return std::array{UserText, PasswordText, DomainText}[i]; }

    HWND hwnd_ = nullptr;
    HWND lastFocus_ = nullptr;
    int dpi_ = 96;
    FontOwner formFont_;
    FontOwner optionFont_;
    // Per text box, as read: whether it shows the stored value as it is.
    std::array<bool, 3> shownAsStored_{};

public:
    // The controls, named by role and kind.
    HWND Frame = nullptr;
    HWND OnOption = nullptr;
    HWND OffOption = nullptr;
    std::array<HWND, 3> Label{};
    HWND UserText = nullptr;
    HWND PasswordText = nullptr;
    HWND DomainText = nullptr;
    HWND OKCommand = nullptr;
    HWND CancelCommand = nullptr;
    HWND ShutdownWithoutLogonCheck = nullptr;
    HWND DontDisplayLastUserNameCheck = nullptr;
};
