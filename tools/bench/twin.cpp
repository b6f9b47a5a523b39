// The yardstick that quellin.exe is held to: the dialog's twin. It shares the dialog's code
// and data for what any window like it must do: the class icon and cursor, the window style,
// caption, size and first place (CenteredOrigin), the thirteen controls made from the layout
// table in its fonts, the resources and manifest, and the one read of the settings, shown and
// painted. It leaves out MainForm's own logic: no answer to a DPI change, none of the
// reactions between the options and boxes, no second centring as the form loads
// (CenterForm), no OK or CANCEL. A change there is not mirrored here and moves the ratio.
#include <windows.h>

#include "dialog/CenterForm.h"
#include "dialog/Layout.h"
#include "dialog/MainForm.h"
#include "dialog/resource.h"
#include "settings/Winlogon.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    MainForm::TakeLibrariesFromSystem32();  // quellin.exe's first call too
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_DESTROY) PostQuitMessage(0);
        // As in the dialog, the selected option takes the focus, and shows it.
        if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
            const HWND on = GetDlgItem(hwnd, Layout::kOnOptionId);
            SetFocus(SendMessageW(on, BM_GETCHECK, 0, 0) == BST_CHECKED ? on : GetDlgItem(hwnd, Layout::kOffOptionId));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUELLIN), IMAGE_ICON, 32, 32, 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"QuellinTwin";
    RegisterClassExW(&windowClass);

    // The dialog's style, and its size at the screen's DPI, centred on the primary screen.
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT outer{0, 0, Layout::TwipsToPixels(Layout::kClientWidth, dpi), Layout::TwipsToPixels(Layout::kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&outer, Layout::kWindowStyle, FALSE, 0, dpi);
    const SIZE size{outer.right - outer.left, outer.bottom - outer.top};
    const POINT origin = SharedModule::CenteredOrigin(size);
    const HWND window = CreateWindowExW(0, L"QuellinTwin", MainForm::kCaption, Layout::kWindowStyle, origin.x, origin.y, size.cx, size.cy,
                                        nullptr, nullptr, instance, nullptr);

    const HFONT formFont = Layout::MakeFont(Layout::kFormFont, dpi);
    const HFONT optionFont = Layout::MakeFont(Layout::kOptionFont, dpi);
    for (const Layout::Control& control : Layout::kControls) {
        const RECT r = Layout::ControlRect(control, dpi);
        const HWND child = CreateWindowExW(control.exStyle, control.className, control.caption, control.style, r.left, r.top,
                                           r.right - r.left, r.bottom - r.top, window,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.font == Layout::Font::Option ? optionFont : formFont), FALSE);
    }

    // The settings as read, shown as they are.
    const Winlogon::Opened opened = Winlogon::ReadSettings();
    const Winlogon::Settings& settings = opened.read;
    auto item = [window](int id) { return GetDlgItem(window, id); };
    SendMessageW(item(settings.autoLogon ? Layout::kOnOptionId : Layout::kOffOptionId), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(item(Layout::kPasswordTextId), EM_SETPASSWORDCHAR, L'*', 0);
    const int boxes[] = {Layout::kUserTextId, Layout::kPasswordTextId, Layout::kDomainTextId};
    for (int i = 0; i < 3; ++i) SetWindowTextW(item(boxes[i]), settings.texts[i].c_str());
    auto check = [&](int id, Winlogon::Check state) {
        if (state == Winlogon::Check::Checked) SendMessageW(item(id), BM_SETCHECK, BST_CHECKED, 0);
    };
    check(Layout::kShutdownWithoutLogonCheckId, settings.shutdownBox);
    check(Layout::kDontDisplayLastUserNameCheckId, settings.dontDisplayLastUserName);

    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
