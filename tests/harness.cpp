#include "harness.h"

#include <gtest/gtest.h>

#include <atomic>

#include "dialog/MainForm.h"

namespace test {

// Window coordinates in physical pixels, whatever DPI the dialog under test runs at.
[[maybe_unused]] static const bool kDpiAware = SetProcessDPIAware();

const char* const kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

std::wstring ExePath() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + L"quellin.exe";
}

namespace {

HKEY Open(const char* path, bool create = true) {
    HKEY key = nullptr;
    const REGSAM access = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
    if (create) RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, access, nullptr, &key, nullptr);
    else RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key);
    return key;
}

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

}  // namespace

void DeleteKey(const char* path) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, 0);
    ASSERT_EQ(Open(path, false), nullptr) << path;
}

void Put(const char* path, const char* name, DWORD type, const std::string& bytes) {
    const HKEY key = Open(path);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()), 0) << name;
    RegCloseKey(key);
}

void PutText(const char* path, const char* name, const std::wstring& text) {
    const HKEY key = Open(path);
    const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
    EXPECT_EQ(RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, data, (text.size() + 1) * 2), 0) << name;
    RegCloseKey(key);
}

std::optional<Stored> Get(const char* path, const char* name) {
    const HKEY key = Open(path, false);
    Stored value{};
    DWORD size = 0;
    if (!key || RegQueryValueExW(key, Wide(name).c_str(), nullptr, &value.type, nullptr, &size)) {
        if (key) RegCloseKey(key);
        return std::nullopt;
    }
    value.data.resize((size + 1) / 2);
    RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data.data()), &size);
    RegCloseKey(key);
    const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    if (text && !value.data.empty() && value.data.back() == L'\0') value.data.pop_back();
    return value;
}

std::wstring Text(const char* name) {
    const auto value = Get(kWinlogon, name);
    return value ? value->data : L"<missing>";
}

void ResetWinlogon(const std::map<std::string, std::wstring>& texts) {
    DeleteKey(kWinlogon);
    for (const auto& [name, text] : texts) PutText(kWinlogon, name.c_str(), text);
}

std::map<std::string, std::optional<Stored>> ReadWinlogon() {
    std::map<std::string, std::optional<Stored>> values;
    for (const char* name : kNames) values[name] = Get(kWinlogon, name);
    return values;
}

namespace {

// The first visible top-level window of the thread with that class (or any) and caption (or any).
HWND FindOnThread(DWORD thread, const wchar_t* className, const wchar_t* caption) {
    struct Search {
        const wchar_t *className, *caption;
        HWND found;
    } search{className, caption, nullptr};
    EnumThreadWindows(thread, [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        wchar_t name[256] = {}, text[256] = {};
        GetClassNameW(window, name, 256);
        GetWindowTextW(window, text, 256);
        if (!IsWindowVisible(window) || (s->className && wcscmp(name, s->className)) || (s->caption && wcscmp(text, s->caption))) return TRUE;
        s->found = window;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::unique_ptr<Form> Form::Launch() {
    const std::wstring exe = ExePath();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::unique_ptr<Form> form(new Form);
    if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start quellin.exe, error " << GetLastError();
        return form;
    }
    CloseHandle(info.hThread);
    form->process_ = info.hProcess;
    form->thread_ = info.dwThreadId;
    form->WaitReady();
    return form;
}

std::unique_ptr<Form> Form::OnThread() {
    std::unique_ptr<Form> form(new Form);
    std::atomic<DWORD> thread{0};
    form->runner_ = std::thread([&thread] {
        thread = GetCurrentThreadId();
        MainForm::Run(GetModuleHandleW(nullptr), SW_SHOW);
    });
    WaitFor([&] { return thread != 0; });
    form->thread_ = thread;
    form->WaitReady();
    return form;
}

// Ready for input: the window is there and one of its controls has the focus.
void Form::WaitReady() {
    WaitFor([&] { return (window_ = FindOnThread(thread_, nullptr, MainForm::kCaption)) && Focus(); });
    EXPECT_NE(Focus(), nullptr) << "the dialog did not open ready for input";
}

Form::~Form() {
    if (HWND box = FindMessageBox()) PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (IsWindow(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (process_) {
        if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    if (runner_.joinable() && !WaitFor([&] { return !IsWindow(window_); }, 5000)) PostThreadMessageW(thread_, WM_QUIT, 0, 0);
    if (runner_.joinable()) runner_.join();
}

std::wstring Form::Text(int id) const {
    std::wstring text(SendMessageW(Item(id), WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    text.resize(SendMessageW(Item(id), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

HWND Form::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_, &info) ? info.hwndFocus : nullptr;
}

void Form::Type(int id, const std::wstring& text) const {
    SendMessageW(Item(id), EM_SETSEL, 0, -1);
    PostMessageW(Item(id), WM_CHAR, VK_BACK, 1);
    for (wchar_t c : text) PostMessageW(Item(id), WM_CHAR, c, 1);
    EXPECT_TRUE(WaitFor([&] { return Text(id) == text; })) << "the typing did not arrive";
}

void Form::Key(WORD key) const {
    const HWND focus = Focus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

bool Form::WaitEnded() {
    if (process_) return WaitForSingleObject(process_, 10000) == WAIT_OBJECT_0;
    return WaitFor([&] { return !IsWindow(window_); });
}

HWND Form::FindMessageBox() const { return FindOnThread(thread_, L"#32770", nullptr); }

std::wstring Form::MessageText() const {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindMessageBox()) != nullptr; });
    // The message is the longest text among the box's children.
    std::wstring message;
    for (HWND child = GetWindow(box, GW_CHILD); box && child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[2048] = {};
        SendMessageW(child, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        if (wcslen(text) > message.size()) message = text;
    }
    return message;
}

void Form::DismissMessage() const {
    PostMessageW(FindMessageBox(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !FindMessageBox(); })) << "the message box stayed";
}

}  // namespace test
