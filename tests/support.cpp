#include "support.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "dialog/Layout.h"
#include "Launch.h"

static std::atomic<bool> g_watching{false};
static std::atomic<int> g_unwiped{0};

// libstdc++'s operator new takes its blocks from malloc, so _msize measures each.
static void Release(void* memory) noexcept {
    if (memory && g_watching) {
        const auto* bytes = static_cast<const char*>(memory);
        const std::string_view block(bytes, _msize(memory));
        const std::pair<std::string_view, const wchar_t*> marks[] = {{"Zq9-", L"Zq9-"}, {"-9qZ", L"-9qZ"}};
        for (const auto& [ansi, wide] : marks) {
            if (block.find(ansi) != block.npos || block.find(std::string_view(reinterpret_cast<const char*>(wide), 8)) != block.npos) {
                ++g_unwiped;
                break;
            }
        }
    }
    std::free(memory);
}
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }

namespace test {

int Watch(bool on) {
    g_watching = on;
    return on ? g_unwiped = 0 : g_unwiped.load();
}

// Window coordinates in physical pixels, whatever DPI the dialog under test runs at.
[[maybe_unused]] static const bool kDpiAware = SetProcessDPIAware();

// A run for one code page is worth nothing in another: the locale must have given the process
// the ANSI code page that the run is for.
struct CodePage : testing::Environment {
    void SetUp() override {
        wchar_t want[8] = {};
        if (GetEnvironmentVariableW(L"QUELLIN_CODE_PAGE", want, 8)) { ASSERT_EQ(GetACP(), wcstoul(want, nullptr, 10)); }
    }
};
[[maybe_unused]] static testing::Environment* const kCodePage = testing::AddGlobalTestEnvironment(new CodePage);

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    // This thread's messages are handled before each look, the first too: a condition met at
    // once must not leave this thread's side of what it waited for pending.
    for (DWORD wait = 0;; wait = 10) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);  // this thread's windows, if any
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
    }
}

std::wstring Shown(HWND dialog) {
    using namespace Layout;
    auto checked = [&](int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; };
    if (checked(kOffOptionId) == checked(kOnOptionId)) return L"neither or both options";
    std::wstring shown;
    for (int id : {kOnOptionId, kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId}) shown += checked(id) ? L'1' : L'0';
    for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) {
        wchar_t text[1024] = {};
        GetDlgItemTextW(dialog, id, text, 1024);
        shown += L"|" + std::wstring(text);
    }
    return shown;
}

std::wstring BesideTests(const std::wstring& file) {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + file;
}

std::wstring SourcePath(const std::wstring& relative) {
    const wchar_t* const root = _wgetenv(L"QUELLIN_SOURCE");
    EXPECT_TRUE(root) << "QUELLIN_SOURCE names no folder";
    return (root ? root : L".") + (L"/" + relative);
}

std::string Source(const std::wstring& relative) {
    std::ifstream file(SourcePath(relative).c_str(), std::ios::binary);
    EXPECT_TRUE(file) << "cannot read " << testing::PrintToString(relative);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::wstring> Exes() {
    wchar_t list[1024] = L"quellin.exe";
    GetEnvironmentVariableW(L"QUELLIN_EXES", list, 1024);
    std::vector<std::wstring> exes;
    std::wistringstream names(list);
    for (std::wstring name; std::getline(names, name, L',');) exes.push_back(BesideTests(name));
    return exes;
}

static HKEY Open(const char* path, REGSAM view, bool create = true) {
    HKEY key = nullptr;
    if (create) RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    else RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key);
    return key;
}

static std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

void DeleteKey(const char* path, REGSAM view) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, view, 0);
    ASSERT_EQ(Open(path, view, false), nullptr) << path;
}

void Put(const char* path, const char* name, DWORD type, const std::string& bytes, REGSAM view, bool exact) {
    const HKEY key = Open(path, view);
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    EXPECT_EQ(exact ? RegSetValueExW(key, Wide(name).c_str(), 0, type, data, bytes.size()) : RegSetValueExA(key, name, 0, type, data, bytes.size()), 0) << name;
    RegCloseKey(key);
}

void ResetWinlogon(const std::map<std::string, std::wstring>& texts, REGSAM view) {
    DeleteKey(kWinlogon, view);
    RegCloseKey(Open(kWinlogon, view));  // the key, even with no values
    // An empty text as the program stores one: no bytes at all.
    for (const auto& [name, text] : texts) Put(kWinlogon, name.c_str(), REG_SZ, {reinterpret_cast<const char*>(text.c_str()), text.empty() ? 0 : (text.size() + 1) * 2}, view, true);
}

std::vector<std::string> Raw(REGSAM view) {
    const HKEY key = Open(kWinlogon, view, false);
    std::vector<std::string> all;
    for (const char* name : kNames) {
        DWORD type = 0, size = 4096;
        std::string data(size, '\0');
        const bool found = key && !RegQueryValueExW(key, Wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        all.push_back(found ? std::to_string(type) + ":" + data.substr(0, size) : "-");
    }
    if (key) RegCloseKey(key);
    return all;
}

std::wstring Winlogon(REGSAM view) {
    std::wstring all;
    for (const std::string& raw : Raw(view)) {
        std::wstring text = raw == "-" ? L"-" : L"<not REG_SZ>";
        if (raw.starts_with("1:")) text.assign(reinterpret_cast<const wchar_t*>(raw.data() + 2), (raw.size() - 2) / 2);
        all += (all.empty() ? L"" : L"|") + text.substr(0, text.find(L'\0'));
    }
    return all;
}

Exe::Exe(const std::wstring& path) {
    std::wstring why;
    if (!Launch(path, process_, why)) {
        ADD_FAILURE() << testing::PrintToString(why);
        return;
    }
    // Ready for input: the window is there and one of its controls has the focus.
    const bool ready = WaitFor([&] {
        window = FindWindowW(L"QuellinMainForm", nullptr);
        return window && Focus();
    });
    EXPECT_TRUE(ready) << "the dialog did not open ready for input";
}

Exe::~Exe() { End(process_); }  // whatever still runs: no test leaves a process behind

HWND Exe::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

void Exe::Type(int id, const std::wstring& text) const {
    SendMessageW(Item(id), EM_SETSEL, 0, -1);
    PostMessageW(Item(id), WM_CHAR, VK_BACK, 1);
    for (wchar_t c : text) PostMessageW(Item(id), WM_CHAR, c, 1);
    wchar_t now[1024] = {};
    EXPECT_TRUE(WaitFor([&] { return GetDlgItemTextW(window, id, now, 1024), now == text; })) << "the typing did not arrive";
}

void Exe::Keys(int id, const std::wstring& text) const {
    PressAndSlideOff(id);
    std::vector<INPUT> input;
    for (wchar_t c : text) {
        for (DWORD up : {0, KEYEVENTF_KEYUP}) input.emplace_back().type = INPUT_KEYBOARD, input.back().ki = {0, c, KEYEVENTF_UNICODE | up, 0, 0};
    }
    EXPECT_EQ(SendInput(input.size(), input.data(), sizeof(INPUT)), input.size());
    wchar_t now[1024] = {};
    EXPECT_TRUE(WaitFor([&] { return GetDlgItemTextW(window, id, now, 1024), std::wstring(now).ends_with(text); })) << "the keys did not arrive";
}

void Exe::PressAndSlideOff(int id) const {
    PostMessageW(Item(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(Item(id), WM_LBUTTONUP, 0, MAKELPARAM(-2, -2));
    EXPECT_TRUE(WaitFor([&] { return Focus() == Item(id); })) << "the press did not take the focus";
}

void Exe::Press(std::initializer_list<WORD> chord, bool upOnly) const {
    std::vector<INPUT> input;
    auto add = [&](WORD key, DWORD flags) {
        input.emplace_back().type = INPUT_KEYBOARD;
        input.back().ki = {key, static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)), flags, 0, 0};
    };
    if (!upOnly) for (WORD key : chord) add(key, 0);
    for (auto key = std::rbegin(chord); key != std::rend(chord); ++key) add(*key, KEYEVENTF_KEYUP);
    EXPECT_EQ(SendInput(input.size(), input.data(), sizeof(INPUT)), input.size());
    Settle();
}

void Exe::Settle() const {
    for (int i = 0; i < 12 && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr); ++i) {}
}

std::wstring Exe::TakeMessage() const {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindWindowW(L"#32770", L"Quellin")) && IsWindowVisible(box); })) return L"<no message>";
    // Owned by the dialog, which it disables while it shows: OK cannot be pressed behind it.
    EXPECT_EQ(GetWindow(box, GW_OWNER), window) << "the message box is not the dialog's";
    EXPECT_FALSE(IsWindowEnabled(window)) << "the dialog takes clicks behind its message box";
    // Which icon, the program's choice, the Form tests check; here that the box shows one: an
    // icon control, visible and holding an icon.
    HWND icon = nullptr;
    const bool shown = WaitFor([&] {
        while ((icon = FindWindowExW(box, icon, L"Static", nullptr)) && (GetWindowLongW(icon, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {}
        return icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0);
    }, 3000);
    std::wstring buttons;
    for (HWND button = nullptr; (button = FindWindowExW(box, button, L"Button", nullptr));) {
        wchar_t caption[64] = {};
        GetWindowTextW(button, caption, 64);
        if (IsWindowVisible(button)) buttons += caption + (L":" + std::to_wstring(GetDlgCtrlID(button)) + L" ");
    }
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);  // the message's id in every message box
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); })) << "the message box stayed";
    return (shown ? L"icon|" : L"no icon|") + buttons + L"|" + text;
}

}  // namespace test
