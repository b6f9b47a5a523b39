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

HKEY OpenKey(const char* path, bool create) {
    HKEY key = nullptr;
    const REGSAM access = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
    const LSTATUS status = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, access, nullptr, &key, nullptr)
                                  : RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

void DeleteKey(const char* path) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, 0);
    ASSERT_EQ(OpenKey(path, false), nullptr) << path;
}

void Put(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
    const HKEY key = OpenKey(path);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS) << name;
    RegCloseKey(key);
}

void PutText(const char* path, const char* name, const std::wstring& text, DWORD type) {
    const HKEY key = OpenKey(path);
    const std::wstring wide(name, name + strlen(name));
    const auto size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(RegSetValueExW(key, wide.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

std::optional<Stored> Get(const char* path, const char* name) {
    const HKEY key = OpenKey(path, false);
    if (!key) return std::nullopt;
    const std::wstring wide(name, name + strlen(name));
    Stored value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, wide.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.raw.resize(size);
        status = RegQueryValueExW(key, wide.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.raw.data()), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
        value.text.assign(reinterpret_cast<const wchar_t*>(value.raw.data()), value.raw.size() / sizeof(wchar_t));
        if (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
    }
    return value;
}

std::string GetAnsi(const char* path, const char* name) {
    const HKEY key = OpenKey(path, false);
    std::string bytes(4096, '\0');
    DWORD size = static_cast<DWORD>(bytes.size());
    if (!key || RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size)) size = 0;
    if (key) RegCloseKey(key);
    bytes.resize(size);
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
}

void ResetWinlogon(const std::map<std::string, std::wstring>& texts) {
    DeleteKey(kWinlogon);
    for (const auto& [name, text] : texts) PutText(kWinlogon, name.c_str(), text);
}

Values ReadWinlogon() {
    Values values;
    for (const char* name : kValueNames) values[name] = Get(kWinlogon, name);
    return values;
}

std::wstring Str(const std::optional<Stored>& value) { return value ? value->text : L"<missing>"; }

std::string ToAnsi(const std::wstring& text) {
    std::string bytes(text.size() * 2 + 1, '\0');
    bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

namespace {

struct Search {
    const wchar_t* className;
    const wchar_t* caption;
    HWND found = nullptr;
};

BOOL CALLBACK Match(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t text[256] = {};
    if (!IsWindowVisible(window)) return TRUE;
    if (search->className && (!GetClassNameW(window, text, 256) || wcscmp(text, search->className))) return TRUE;
    if (search->caption && (!GetWindowTextW(window, text, 256) || wcscmp(text, search->caption))) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindOnThread(DWORD thread, const wchar_t* className, const wchar_t* caption) {
    Search search{className, caption};
    EnumThreadWindows(thread, Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::unique_ptr<Form> Form::Launch() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, length);
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"quellin.exe";
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

// Ready for input: the window is there and a control has the focus.
void Form::WaitReady() {
    WaitFor([&] { return (window_ = FindOnThread(thread_, nullptr, MainForm::kCaption)) != nullptr && Focus(); });
    EXPECT_NE(window_, nullptr) << "the dialog did not open";
    EXPECT_NE(Focus(), nullptr) << "no control has the focus";
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

Form::~Form() {
    if (HWND box = FindMessageBox()) PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (IsWindow(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (process_) {
        if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    if (runner_.joinable()) {
        if (!WaitFor([&] { return !IsWindow(window_); }, 5000)) PostThreadMessageW(thread_, WM_QUIT, 0, 0);
        runner_.join();
    }
}

bool Form::Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::wstring Form::Text(int id) const {
    const HWND item = Item(id);
    std::wstring text(SendMessageW(item, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    text.resize(SendMessageW(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

HWND Form::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_, &info) ? info.hwndFocus : nullptr;
}

void Form::Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }

void Form::Type(int id, const std::wstring& text) const {
    SendMessageW(Item(id), EM_SETSEL, 0, -1);
    if (text.empty()) PostMessageW(Item(id), WM_CHAR, VK_BACK, 1);
    for (wchar_t c : text) PostMessageW(Item(id), WM_CHAR, c, 1);
    EXPECT_TRUE(WaitFor([&] { return Text(id) == text; })) << "typing did not arrive";
}

void Form::Key(WORD key) const {
    const HWND focus = Focus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

void Form::Close() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool Form::WaitEnded(DWORD milliseconds) {
    if (process_) return WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
    return WaitFor([&] { return !IsWindow(window_); }, milliseconds);
}

HWND Form::FindMessageBox() const { return thread_ ? FindOnThread(thread_, L"#32770", nullptr) : nullptr; }

std::wstring Form::MessageText(DWORD milliseconds) const {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindMessageBox()) != nullptr; }, milliseconds)) return {};
    // The message is the longest text among the box's static controls.
    std::wstring message;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[2048] = {};
        SendMessageW(child, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        if (!_wcsicmp(className, L"Static") && wcslen(text) > message.size()) message = text;
    }
    return message;
}

void Form::DismissMessage() const {
    if (HWND box = FindMessageBox()) PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return FindMessageBox() == nullptr; })) << "the message box stayed";
}

}  // namespace test
