#include "dialog/MainForm.h"

#include <cstring>
#include <string>
#include <vector>

#include "dialog/CenterForm.h"
#include "dialog/Layout.h"
#include "dialog/resource.h"
#include "settings/Winlogon.h"

namespace {

constexpr const wchar_t* kClassName = L"QuellinMainForm";

// The per-window DPI functions came with Windows 10 1607. Before, the manifest makes the
// process aware of the system DPI, which is then every window's.
template <class Function>
Function* User32(const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int DpiOfWindow(HWND window) {
    const auto getDpiForWindow = User32<UINT WINAPI(HWND)>("GetDpiForWindow");
    return getDpiForWindow ? static_cast<int>(getDpiForWindow(window)) : ScreenDpi();
}

// The window's outer size for the layout's client area at `dpi`.
SIZE OuterSize(int dpi) {
    const auto adjustForDpi = User32<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT outer{0, 0, Layout::TwipsToPixels(Layout::kClientWidth, dpi), Layout::TwipsToPixels(Layout::kClientHeight, dpi)};
    if (adjustForDpi) adjustForDpi(&outer, Layout::kWindowStyle, FALSE, 0, dpi);
    else AdjustWindowRectEx(&outer, Layout::kWindowStyle, FALSE, 0);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

}  // namespace

int (*MainForm::WindowDpi)(HWND) = DpiOfWindow;
int (*MainForm::ShowMessage)(HWND, const wchar_t*, UINT) = [](HWND owner, const wchar_t* text, UINT type) {
    return MessageBoxW(owner, text, L"Quellin", type);
};

MainForm::~MainForm() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool MainForm::Create(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance, kClassName, &windowClass)) {
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        // The window takes its icon from here: setting it on the window as well would only
        // cost start-up time.
        windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUELLIN), IMAGE_ICON, 32, 32, 0));
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassExW(&windowClass)) return false;
    }

    // Made where Form_Load centres it, on the primary monitor, and laid out at that monitor's
    // DPI: the screen's DPI is almost always it, and when not, one resize puts it right.
    // Under Wine each move of the window is a round trip to the X server that start-up can do
    // without.
    dpi_ = ScreenDpi();
    const SIZE outer = OuterSize(dpi_);
    const POINT origin = SharedModule::CenteredOrigin(outer);
    if (!CreateWindowExW(0, kClassName, kCaption, Layout::kWindowStyle, origin.x, origin.y, outer.cx, outer.cy, nullptr, nullptr,
                         instance, this)) {
        return false;
    }
    if (const int dpi = WindowDpi(hwnd_); dpi != dpi_) {
        dpi_ = dpi;
        const SIZE resized = OuterSize(dpi_);
        SetWindowPos(hwnd_, nullptr, 0, 0, resized.cx, resized.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut(instance);

    // Common controls 6 mask with a dot; this dialog shows the conventional asterisk.
    SendMessageW(PasswordText, EM_SETPASSWORDCHAR, L'*', 0);
    // No text box has a length limit of its own; what can be stored is checked on OK.
    for (HWND box : {UserText, PasswordText, DomainText}) SendMessageW(box, EM_LIMITTEXT, 0, 0);
    Form_Load();
    return true;
}

// The fonts and every control's rectangle at the window's DPI. With an instance, the controls
// are created; without, the existing ones move and take the new fonts.
void MainForm::LayOut(HINSTANCE instance) {
    FontOwner formFont(Layout::MakeFont(Layout::kFormFont, dpi_));
    FontOwner optionFont(Layout::MakeFont(Layout::kOptionFont, dpi_));
    for (const Layout::Control& control : Layout::kControls) {
        const RECT r = Layout::ControlRect(control, dpi_);
        const HWND child =
            instance ? CreateWindowExW(control.exStyle, control.className, control.caption, control.style, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr)
                     : GetDlgItem(hwnd_, control.id);
        if (!instance) SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        const HFONT font = control.font == Layout::Font::Option ? optionFont.get() : formFont.get();
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), !instance);
    }
    // The old fonts go only now that no control uses them.
    formFont_ = std::move(formFont);
    optionFont_ = std::move(optionFont);
    if (!instance) return;

    auto item = [this](int id) { return GetDlgItem(hwnd_, id); };
    Frame = item(Layout::kFrameId);
    OnOption = item(Layout::kOnOptionId);
    OffOption = item(Layout::kOffOptionId);
    Label = {item(Layout::kLabel0Id), item(Layout::kLabel1Id), item(Layout::kLabel2Id)};
    UserText = item(Layout::kUserTextId);
    PasswordText = item(Layout::kPasswordTextId);
    DomainText = item(Layout::kDomainTextId);
    OKCommand = item(Layout::kOKCommandId);
    CancelCommand = item(Layout::kCancelCommandId);
    ShutdownWithoutLogonCheck = item(Layout::kShutdownWithoutLogonCheckId);
    DontDisplayLastUserNameCheck = item(Layout::kDontDisplayLastUserNameCheckId);
}

int MainForm::Run(HINSTANCE instance, int show) {
    MainForm form;
    if (!form.Create(instance)) return 1;
    ShowWindow(form.hwnd_, show);
    UpdateWindow(form.hwnd_);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.PressFocusedButtonOnEnter(msg)) continue;
        // The dialog manager gives Tab and the arrow keys their usual meaning. It turns Escape
        // and Enter into IDCANCEL and IDOK, which no control here answers to.
        if (form.hwnd_ && IsDialogMessageW(form.hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Enter on a focused OK or CANCEL presses it, however the button got the focus: the dialog
// manager does so only for a button it has made the default one, which by Tab alone.
bool MainForm::PressFocusedButtonOnEnter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
    const HWND focus = GetFocus();
    if (focus != OKCommand && focus != CancelCommand) return false;
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

LRESULT CALLBACK MainForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<MainForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        form->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return form->Handle(message, wParam, lParam);
}

LRESULT MainForm::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) break;
        switch (LOWORD(wParam)) {
        case Layout::kOnOptionId:
            // Buttons also report BN_CLICKED when they merely get the focus; only a selection
            // counts as the click.
            if (IsChecked(OnOption)) OnOption_Click();
            return 0;
        case Layout::kDontDisplayLastUserNameCheckId: DontDisplayLastUserNameCheck_Click(); return 0;
        case Layout::kOKCommandId: OKCommand_Click(); return 0;
        case Layout::kCancelCommandId: CancelCommand_Click(); return 0;
        default: return 0;  // IDOK and IDCANCEL from Enter and Escape: nothing
        }
    case WM_ACTIVATE:
        // Like a dialog, keep the focus on the control that had it when the window comes back.
        if (LOWORD(wParam) == WA_INACTIVE) {
            RememberFocus();
        } else {
            RestoreFocus();
            return 0;
        }
        break;
    case WM_SIZE:
        // A minimised window can stay the active one (under Wine it does when no other window
        // is there to take over): no hidden control may then take what is typed. The focus
        // comes back with the window.
        if (wParam == SIZE_MINIMIZED) {
            RememberFocus();
            SetFocus(nullptr);
        }
        break;
    case WM_GETDPISCALEDSIZE:
        // Moving to a monitor of another DPI: ask for exactly the layout's size there, not a
        // scaled guess that could clip a control by a pixel.
        *reinterpret_cast<SIZE*>(lParam) = OuterSize(static_cast<int>(wParam));
        return TRUE;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const RECT& r = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut(nullptr);
        return 0;
    }
    case kSayWhatWasNotRead:
        // Form_Load posts it when a value could not be read, but any program may post the same
        // number: the warning is shown only then, and once.
        if (!saidWhatWasNotRead_ && !opened_.Unread().empty()) {
            saidWhatWasNotRead_ = true;
            SayWhatWasNotRead();
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainForm::Form_Load() {
    SharedModule::CenterForm(hwnd_);
    レジストリデータ取得処理();
}

void MainForm::レジストリデータ取得処理() {
    opened_ = Winlogon::ReadSettings();
    const Winlogon::Settings& read = opened_.read;
    SelectAutoLogon(read.autoLogon);
    for (int i = 0; i < 3; ++i) SetWindowTextW(TextBox(i), read.texts[i].c_str());
    if (read.shutdownBox != Winlogon::Check::Leave) {
        SendMessageW(ShutdownWithoutLogonCheck, BM_SETCHECK, read.shutdownBox == Winlogon::Check::Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (read.dontDisplayLastUserName != Winlogon::Check::Leave) {
        SetDontDisplayLastUserName(read.dontDisplayLastUserName == Winlogon::Check::Checked ? 1 : 0);
    }
    // What the controls now show, the reactions included, is what OK measures changes against.
    opened_.loaded = Shown();
    if (!opened_.Unread().empty()) PostMessageW(hwnd_, kSayWhatWasNotRead, 0, 0);
}

Winlogon::StoreResult MainForm::レジストリデータ書き込み処理() { return Winlogon::StoreSettings(Shown(), opened_); }

Winlogon::Settings MainForm::Shown() const {
    auto check = [](HWND box) { return IsChecked(box) ? Winlogon::Check::Checked : Winlogon::Check::Unchecked; };
    Winlogon::Settings shown;
    shown.autoLogon = IsChecked(OnOption);
    for (int i = 0; i < 3; ++i) {
        SharedModule::SecretText& text = shown.texts[i];
        text.resize(GetWindowTextLengthW(TextBox(i)) + 1);
        text.resize(GetWindowTextW(TextBox(i), text.data(), static_cast<int>(text.size())));
    }
    shown.shutdownBox = check(ShutdownWithoutLogonCheck);
    shown.dontDisplayLastUserName = check(DontDisplayLastUserNameCheck);
    return shown;
}

void MainForm::SelectAutoLogon(bool on) {
    const bool wasOn = IsChecked(OnOption);
    SendMessageW(OnOption, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(OffOption, BM_SETCHECK, on ? BST_UNCHECKED : BST_CHECKED, 0);
    if (on && !wasOn) OnOption_Click();
}

void MainForm::SetDontDisplayLastUserName(int state) {
    if ((IsChecked(DontDisplayLastUserNameCheck) ? 1 : 0) == state) return;
    SendMessageW(DontDisplayLastUserNameCheck, BM_SETCHECK, state == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    DontDisplayLastUserNameCheck_Click();
}

// Automatic logon shows the last user's name again.
void MainForm::OnOption_Click() { SetDontDisplayLastUserName(0); }

// Hiding the last user's name switches automatic logon off.
void MainForm::DontDisplayLastUserNameCheck_Click() {
    if (IsChecked(DontDisplayLastUserNameCheck)) SelectAutoLogon(false);
}

namespace {

// The values named one a line, as the guide lists them.
std::wstring List(const std::vector<const Winlogon::Value*>& values) {
    std::wstring names;
    for (const Winlogon::Value* value : values) {
        names += L"・" + std::wstring(value->field) + L"（" + std::wstring(value->name, value->name + strlen(value->name)) + L"）\n";
    }
    return names;
}

}  // namespace

void MainForm::SayWhatWasNotRead() {
    ShowMessage(hwnd_, (L"次の設定を読み取れませんでした。\n\n" + List(opened_.Unread()) +
                        L"\nこれらの設定は、この画面で変更しない限り、OK を押しても書き換えません。")
                           .c_str(),
                MB_OK | MB_ICONWARNING);
}

void MainForm::OKCommand_Click() {
    const Winlogon::StoreResult result = レジストリデータ書き込み処理();
    if (result.refused) {
        // Nothing was stored: name the field, and take the user to it. The limit is in bytes of
        // the ANSI code page, whose characters take one byte in ASCII, and up to two (932) or
        // four (UTF-8) in other scripts.
        const int i = *result.refused;
        const std::wstring reason =
            result.why == SharedModule::StoreCheck::TooLong
                ? L"」が長すぎるため保存できません。\nこのコンピューターの文字コードで 256 バイト以内（半角英数字なら 256 文字）になるように入力してください。"
                : L"」に、このコンピューターの文字コードで保存できない文字が含まれています。\nその文字を除いて入力し直してください。";
        ShowMessage(hwnd_, (L"「" + std::wstring(Winlogon::kTextValues[i]->field) + reason).c_str(), MB_OK | MB_ICONWARNING);
        SetFocus(TextBox(i));
        return;
    }
    auto part = [](const std::vector<const Winlogon::Value*>& values, const wchar_t* heading) {
        return values.empty() ? std::wstring() : heading + (L"\n\n" + List(values)) + L"\n";
    };
    const std::wstring message =
        part(result.failed, L"次の設定を保存できませんでした。") +
        part(result.unread, L"次の設定は、保存する前にいまの値を読み取れなかったため、保存しませんでした。") +
        part(result.kept, L"次の設定は、この画面を開いた後にほかのプログラムが変更したため、そのプログラムが保存した内容のままにしました。");
    if (!result.failed.empty() || !result.unread.empty()) {
        // Some values were not stored: say which, and leave the decision (OK again or CANCEL)
        // to the user, with everything typed still there.
        ShowMessage(hwnd_, (message + L"管理者として実行しているかを確認し、もう一度 OK を押すか、CANCEL で終了してください。").c_str(),
                    MB_OK | MB_ICONERROR);
        return;
    }
    if (!result.kept.empty()) {
        ShowMessage(hwnd_, (message + L"内容を確かめるには、Quellin をもう一度起動してください。").c_str(), MB_OK | MB_ICONINFORMATION);
    }
    End();
}

void MainForm::RestoreFocus() { SetFocus(lastFocus_ ? lastFocus_ : (IsChecked(OnOption) ? OnOption : OffOption)); }

void MainForm::RememberFocus() {
    const HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
}

void MainForm::CancelCommand_Click() { End(); }

void MainForm::End() { DestroyWindow(hwnd_); }
