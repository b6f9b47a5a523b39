#include "support.h"

#include <gtest/gtest.h>

namespace test {

// Window coordinates in physical pixels, whatever DPI the dialog under test runs at.
[[maybe_unused]] static const bool kDpiAware = SetProcessDPIAware();

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

testing::AssertionResult LaidOutAt(HWND dialog, int dpi) {
    const double scale = dpi / 96.0, tolerance = dpi == 96 ? 0 : 1;
    std::string wrong;
    for (const auto& [id, left, top, width, height] : kPixelsAt96) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        const int actual[] = {r.left, r.top, r.right - r.left, r.bottom - r.top}, want[] = {left, top, width, height};
        for (int i = 0; i < 4; ++i) {
            if (std::abs(actual[i] - want[i] * scale) > tolerance) wrong += " control " + std::to_string(id) + " edge " + std::to_string(i);
        }
    }
    if (wrong.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "misplaced at " << dpi << " DPI:" << wrong;
}

std::wstring BesideTests(const wchar_t* file) {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + file;
}

namespace {

HKEY Open(const char* path, REGSAM view, bool create = true) {
    HKEY key = nullptr;
    if (create) RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    else RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | view, &key);
    return key;
}

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

}  // namespace

void DeleteKey(const char* path, REGSAM view) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, view, 0);
    ASSERT_EQ(Open(path, view, false), nullptr) << path;
}

void Put(const char* path, const char* name, DWORD type, const std::string& bytes, REGSAM view) {
    const HKEY key = Open(path, view);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()), 0) << name;
    RegCloseKey(key);
}

void PutText(const char* path, const char* name, const std::wstring& text, REGSAM view) {
    const HKEY key = Open(path, view);
    const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
    EXPECT_EQ(RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, data, (text.size() + 1) * 2), 0) << name;
    RegCloseKey(key);
}

std::optional<Stored> Get(const char* path, const char* name, REGSAM view) {
    const HKEY key = Open(path, view, false);
    Stored value{};
    DWORD size = 0;
    const bool found = key && !RegQueryValueExW(key, Wide(name).c_str(), nullptr, &value.type, nullptr, &size);
    value.data.resize((size + 1) / 2);
    if (found) RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data.data()), &size);
    if (key) RegCloseKey(key);
    if (!found) return std::nullopt;
    if (value.type == REG_SZ && !value.data.empty() && value.data.back() == L'\0') value.data.pop_back();
    return value;
}

void ResetWinlogon(const std::map<std::string, std::wstring>& texts, REGSAM view) {
    DeleteKey(kWinlogon, view);
    for (const auto& [name, text] : texts) PutText(kWinlogon, name.c_str(), text, view);
}

std::wstring Winlogon(REGSAM view) {
    std::wstring all;
    for (const char* name : kNames) {
        const auto value = Get(kWinlogon, name, view);
        all += all.empty() ? L"" : L"|";
        all += !value ? L"-" : value->type == REG_SZ ? value->data : L"<type " + std::to_wstring(value->type) + L">";
    }
    return all;
}

Exe::Exe(const wchar_t* file) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::wstring exe = BesideTests(file);
    if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
        ADD_FAILURE() << "cannot start the exe, error " << GetLastError();
        return;
    }
    // Ready for input: the window is there and one of its controls has the focus.
    const bool ready = WaitFor([&] {
        window = FindWindowW(L"QuellinMainForm", nullptr);
        return window && Focus();
    });
    EXPECT_TRUE(ready) << "the dialog did not open ready for input";
}

Exe::~Exe() {
    if (!process_.hProcess) return;
    if (HWND box = FindWindowW(L"#32770", L"Quellin")) PostMessageW(box, WM_COMMAND, IDOK, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

std::wstring Exe::Text(int id) const {
    std::wstring text(SendMessageW(Item(id), WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    text.resize(SendMessageW(Item(id), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

HWND Exe::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

void Exe::Type(int id, const std::wstring& text) const {
    SendMessageW(Item(id), EM_SETSEL, 0, -1);
    PostMessageW(Item(id), WM_CHAR, VK_BACK, 1);
    for (wchar_t c : text) PostMessageW(Item(id), WM_CHAR, c, 1);
    EXPECT_TRUE(WaitFor([&] { return Text(id) == text; })) << "the typing did not arrive";
}

void Exe::Key(WORD key) const {
    const HWND focus = Focus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

std::wstring Exe::TakeMessage() const {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindWindowW(L"#32770", L"Quellin")) != nullptr; })) return L"<no message>";
    // The message is the longest text among the box's children.
    std::wstring message;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[2048] = {};
        SendMessageW(child, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        if (wcslen(text) > message.size()) message = text;
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); })) << "the message box stayed";
    return message;
}

}  // namespace test
