// The form in-process, where a DPI change can be sent to it and its class read; and the exe's
// own resources.
#include <gtest/gtest.h>

#include "dialog/Layout.h"
#include "dialog/MainForm.h"
#include "support.h"

#include <dbghelp.h>
#include <imagehlp.h>

#include <memory>
#include <string_view>

using namespace Layout;


// Its class gives the arrow cursor and the sharp icon. Started on a monitor whose DPI (120) is
// not the system's (96), the form is laid out for its monitor and centred on the screen. Moved
// to monitors of other DPIs, it asks for exactly its size there and lays itself out anew, in
// fonts of the new size, as the README says: each position and size in twips times the DPI over
// 1440, rounded to the nearest pixel, and each font's height in pixels rounded down; and it keeps
// what the user has typed and chosen and where the focus is.
TEST(Form, ClassAndDpiChanges) {
    test::ResetWinlogon({{"AutoAdminLogon", L"1"}, {"DefaultUserName", L"bob"}, {"ShutdownWithoutLogon", L"0"}});
    auto pixels = [](int twips, int dpi) { return (2 * twips * dpi + 1440) / 2880; };
    // The outer size for the dialog's client area of 3900 × 2625 twips at `dpi`, framed as
    // Windows frames the window's own style there.
    auto outerAt = [&](HWND window, int dpi) {
        RECT r{0, 0, pixels(3900, dpi), pixels(2625, dpi)};
        AdjustWindowRectExForDpi(&r, GetWindowLongW(window, GWL_STYLE), FALSE, GetWindowLongW(window, GWL_EXSTYLE), dpi);
        return std::pair(r.right - r.left, r.bottom - r.top);
    };
    MainForm form;
    const auto monitorDpi = MainForm::WindowDpi;
    MainForm::WindowDpi = [](HWND) { return 120; };
    // A password box masks with a black circle (U+25CF) when comctl32 6 makes it, as on Windows
    // (Microsoft's CEdit::GetPasswordChar page), not with Wine's asterisk: the box must show the
    // asterisk the guide promises all the same.
    // It is made a password box (ES_PASSWORD), which Windows keeps from copying its text out.
    static int passwordBoxes = 0;
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, [](int code, WPARAM w, LPARAM l) {
        const auto& call = *reinterpret_cast<const CWPRETSTRUCT*>(l);
        if (call.message == WM_CREATE && (GetWindowLongW(call.hwnd, GWL_STYLE) & ES_PASSWORD)) {
            SendMessageW(call.hwnd, EM_SETPASSWORDCHAR, 0x25CF, 0), ++passwordBoxes;
        }
        return CallNextHookEx(nullptr, code, w, l);
    }, nullptr, GetCurrentThreadId());
    const bool created = form.Create(GetModuleHandleW(nullptr));
    UnhookWindowsHookEx(hook);
    MainForm::WindowDpi = monitorDpi;
    ASSERT_TRUE(created);
    EXPECT_EQ(SendMessageW(form.PasswordText, EM_GETPASSWORDCHAR, 0, 0) * 10 + passwordBoxes, L'*' * 10 + 1) << "the mask, and password boxes made";
    // What no picture shows: the arrow over the window, and a large icon that is the 32 x 32
    // image itself, not one of another size scaled. (Wine does not let another process read a
    // window's class.)
    EXPECT_EQ(GetClassLongPtrW(form.Window(), GCLP_HCURSOR), reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));
    ICONINFO icon{};
    BITMAP image{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrW(form.Window(), GCLP_HICON)), &icon)) << "no window icon";
    GetObjectW(icon.hbmColor, sizeof image, &image);
    EXPECT_EQ(std::make_pair(image.bmWidth, image.bmHeight), std::make_pair(32L, 32L));
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);
    ShowWindow(form.Window(), SW_SHOW);
    SetWindowTextW(form.PasswordText, L"typed");
    SetFocus(form.DomainText);
    auto state = [&] { return test::Shown(form.Window()) + (GetFocus() == form.DomainText ? L"|focus kept" : L"|focus lost"); };
    const std::wstring before = state();
    EXPECT_EQ(before, L"110|bob|typed||focus kept");
    RECT outer{};
    GetWindowRect(form.Window(), &outer);
    EXPECT_EQ(std::pair(outer.right - outer.left, outer.bottom - outer.top), outerAt(form.Window(), 120)) << "not laid out for its monitor";
    EXPECT_NEAR(outer.left + outer.right, GetSystemMetrics(SM_CXSCREEN), 1) << "not centred once laid out for its monitor";
    EXPECT_NEAR(outer.top + outer.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "not centred once laid out for its monitor";
    // Each control's left, top, width and height in twips (the option buttons' from the frame's
    // corner), and the font heights in hundredths of a point: the dialog as designed.
    const std::tuple<int, int, int, int, int> twips[] = {
        {kFrameId, 60, 60, 1695, 675}, {kOnOptionId, 180, 360, 735, 315}, {kOffOptionId, 840, 360, 735, 315},
        {kLabel0Id, 120, 1020, 1170, 195}, {kLabel1Id, 120, 1380, 1170, 195}, {kLabel2Id, 120, 1740, 1170, 195},
        {kUserTextId, 1380, 960, 2415, 285}, {kPasswordTextId, 1380, 1320, 2415, 285}, {kDomainTextId, 1380, 1680, 2415, 285},
        {kOKCommandId, 2580, 60, 1215, 375}, {kCancelCommandId, 2580, 480, 1215, 375},
        {kShutdownWithoutLogonCheckId, 120, 2040, 3675, 255}, {kDontDisplayLastUserNameCheckId, 120, 2280, 3675, 315}};
    for (int dpi : {96, 108, 110, 132, 144, 168, 120, 192}) {
        SCOPED_TRACE(dpi);
        // As Windows does: first the size the window wants at the new DPI, then the change.
        SIZE size{};
        ASSERT_TRUE(SendMessageW(form.Window(), WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size)));
        EXPECT_EQ(std::pair(size.cx, size.cy), outerAt(form.Window(), dpi));
        RECT suggested{10, 20, 10 + size.cx, 20 + size.cy};
        SendMessageW(form.Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(form.Window(), &outer);
        EXPECT_EQ(outer.left * 1000 + outer.top, 10020) << "not where Windows suggested";
        for (const auto& [id, left, top, width, height] : twips) {
            SCOPED_TRACE(id);
            RECT r{};
            GetWindowRect(GetDlgItem(form.Window(), id), &r);
            MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right - r.left, r.bottom - r.top}),
                      std::vector<LONG>({pixels(left, dpi), pixels(top, dpi), pixels(width, dpi), pixels(height, dpi)}));
            LOGFONTW f{};
            ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(form.Window(), id, WM_GETFONT, 0, 0)), sizeof f, &f));
            EXPECT_EQ(-f.lfHeight, (id == kOnOptionId || id == kOffOptionId ? 900 : 975) * dpi / 7200);
        }
        EXPECT_EQ(state(), before);
    }
    // No box has a length limit of its own, not even Windows' default of 32,767 characters
    // (EM_LIMITTEXT): a longer text is taken whole, and refused on OK.
    const std::wstring pasted(32767, L' ');
    SendMessageW(form.DomainText, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>((pasted + L"more").c_str()));
    EXPECT_EQ(GetWindowTextLengthW(form.DomainText), 32771);
}

// Each exe as Explorer and the loader see it: its icon, version, manifest and headers, and a
// load configuration that has Windows take its imports from System32 only. The version is the
// one the guide's title names ("# Quellin 1.0.1 使い方").
TEST(Exe, CarriesItsIconVersionAndLoadConfiguration) {
    const std::string guide = test::Source(L"docs/guide.ja.md"), version = guide.substr(10, guide.find(' ', 10) - 10);
    ASSERT_EQ(guide.substr(0, 10), "# Quellin ") << "the guide's title";
    for (const std::wstring& exe : test::Exes()) {
        SCOPED_TRACE(testing::PrintToString(exe));
        const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_TRUE(module) << "cannot be read as an image";
        // Mapped as an image (its sections where they run), flagged in the handle's low bits.
        auto* image = reinterpret_cast<BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
        const bool x86 = ImageNtHeader(image)->FileHeader.Machine == IMAGE_FILE_MACHINE_I386;
        const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        ASSERT_TRUE(found) << "no application icon";
        // The group header (reserved, type, count), then per image: width, height, colours, ...
        const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        EXPECT_EQ(std::vector<int>(group + 4, group + 9), (std::vector<int>{1, 0, 32, 32, 16})) << "one image, 32 x 32, 16 colours";

        // The manifest, where Windows looks for it, each element as Microsoft documents it:
        // https://learn.microsoft.com/windows/win32/sbscs/application-manifests (elevation),
        // https://learn.microsoft.com/windows/win32/controls/cookbook-overview (common controls 6),
        // https://learn.microsoft.com/windows/win32/hidpi/setting-the-default-dpi-awareness-for-a-process,
        // https://learn.microsoft.com/windows/win32/sysinfo/targeting-your-application-at-windows-8-1 (Windows 10/11).
        const HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
        ASSERT_TRUE(manifest) << "no manifest as resource 1";
        // Each element is looked for whole, its attributes in the manifest's order, with each
        // run of white space made one space.
        std::string xml;
        for (const char c : std::string_view(static_cast<const char*>(LockResource(LoadResource(module, manifest))), SizeofResource(module, manifest))) {
            if (!isspace(c)) xml += c;
            else if (!xml.empty() && xml.back() != ' ') xml += ' ';
        }
        // Its own identity: a four-part version, and the processor by Microsoft's name for it.
        const std::string identity = R"(<assemblyIdentity type="win32" name="Quellin" version=")" + version + R"(.0" processorArchitecture=")" +
                                     (x86 ? "x86" : "amd64") + R"("/>)";
        const char* const elements[] = {
            identity.c_str(),
            R"(<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"> <security> <requestedPrivileges> )"
            R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)",
            R"(<dependentAssembly> <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
            R"(processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>)",
            R"(<application xmlns="urn:schemas-microsoft-com:asm.v3"> <windowsSettings> )"
            R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware> )"
            R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, System</dpiAwareness>)",
            R"(<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1"> <application> )"
            R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",
        };
        for (const char* element : elements) EXPECT_NE(xml.find(element), std::string::npos) << element;

        // The headers. PE32 and PE32+ optional headers place the checksum, Subsystem and
        // DllCharacteristics alike.
        const IMAGE_OPTIONAL_HEADER& header = ImageNtHeader(image)->OptionalHeader;
        ULONG size = 0;
        const auto* config = static_cast<const BYTE*>(ImageDirectoryEntryToData(image, TRUE, IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, &size));
        ASSERT_TRUE(config) << "no load configuration";
        const ULONG flagsAt = x86 ? 0x36 : 0x4E, structureSize = *reinterpret_cast<const DWORD*>(config);  // DependentLoadFlags
        DWORD stored = 0, computed = 0;
        ASSERT_EQ(MapFileAndCheckSumW(exe.c_str(), &stored, &computed), DWORD{CHECKSUM_SUCCESS});
        const WORD wanted = IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                            IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE | (x86 ? 0 : IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
        // As far as public sources show, Windows' loader uses the structure only when the
        // directory's length is the structure's own Size (x86 also takes 64); Microsoft's pages
        // (https://learn.microsoft.com/windows/win32/debug/pe-format) document the fields, not
        // this rule. Here the two are the same.
        const std::pair<const char*, bool> facts[] = {
            {"the directory's length is the structure's Size, which holds the flags", size == structureSize && structureSize >= flagsAt + 2},
            {"the structure at a pointer-aligned address", (config - image) % (x86 ? 4 : 8) == 0},
            {"imports from System32 only", *reinterpret_cast<const WORD*>(config + flagsAt) == LOAD_LIBRARY_SEARCH_SYSTEM32},
            {"the checksum 0 or right", stored == 0 || stored == computed},
            {"the Windows GUI subsystem: no console window opens with the dialog", header.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI},
            {"NX, dynamic base, Terminal Server aware, on x86-64 high-entropy VA", (header.DllCharacteristics & wanted) == wanted},
        };
        for (const auto& [fact, holds] : facts) {
            EXPECT_TRUE(holds) << fact << std::hex << " (directory 0x" << size << ", Size 0x" << structureSize << ", checksum 0x" << stored
                               << " of 0x" << computed << ", DllCharacteristics 0x" << header.DllCharacteristics << ")";
        }
        FreeLibrary(module);

        std::vector<BYTE> info(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
        ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, info.size(), info.data())) << "no version information";
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        // The numbers of the version text, and the fixed fields an application for Windows NT
        // carries: VOS_NT_WINDOWS32 (0x40004) and VFT_APP (1), per Microsoft's VS_FIXEDFILEINFO
        // (https://learn.microsoft.com/windows/win32/api/verrsrc/ns-verrsrc-vs_fixedfileinfo).
        WORD major = 0, minor = 0, patch = 0;
        ASSERT_EQ(sscanf(version.c_str(), "%hu.%hu.%hu", &major, &minor, &patch), 3) << version;
        const DWORD high = MAKELONG(minor, major), low = MAKELONG(0, patch);
        EXPECT_EQ((std::vector<DWORD>{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS,
                                      fixed->dwFileOS, fixed->dwFileType}),
                  (std::vector<DWORD>{high, low, high, low, 0x40004, 1}));
        // Explorer shows the first translation it finds a block for: Japanese, then neutral.
        WORD* translations = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length));
        EXPECT_EQ(std::vector<WORD>(translations, translations + length / 2), (std::vector<WORD>{0x0411, 1200, 0x0000, 1200}));
        auto text = [&](const wchar_t* language, const wchar_t* name) {
            wchar_t* value = nullptr;
            const std::wstring path = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
            return VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ? std::wstring(value) : L"<none>";
        };
        // In each language, the exe's own file name, and as its internal name the same without
        // the extension, as Microsoft's VERSIONINFO page asks of a file with none of its own.
        const std::wstring file = exe.substr(exe.find_last_of(L'\\') + 1), wide(version.begin(), version.end());
        const std::pair<const wchar_t*, std::wstring> blocks[] = {{L"041104b0", L"Quellin 自動ログオンの設定"}, {L"000004b0", L"Quellin automatic logon settings"}};
        for (const auto& [language, description] : blocks) {
            std::wstring all;
            for (const wchar_t* name : {L"ProductName", L"FileVersion", L"ProductVersion", L"OriginalFilename", L"InternalName", L"FileDescription"}) {
                all += text(language, name) + L"|";
            }
            EXPECT_EQ(all, L"Quellin|" + wide + L"|" + wide + L"|" + file + L"|" + file.substr(0, file.size() - 4) + L"|" + description + L"|");
        }
    }
}

namespace {

using SharedModule::RegistryCalls;

// The registry seam of the fault table: the real calls, and one step made to fail on purpose,
// at the first or second time it comes (as the dialog opens, or on OK).
enum class Step { None, Open, Size, Data, GrowsOnce, KeepsGrowing, WasEmpty, Set };
struct Fault {
    Step step = Step::None;
    int at = 1;
    const char* value = "";
} g_fault;
int g_opens = 0, g_outsideView = 0, g_held = 0;  // g_held: keys opened and not yet closed
std::vector<std::string> g_stored;  // the values written, in order
std::map<std::wstring, int> g_reads;

const RegistryCalls kFaulty{
    [](HKEY root, const char* path, REGSAM access, HKEY* key) -> LSTATUS {
        g_outsideView += (access & KEY_WOW64_64KEY) == 0;
        if (++g_opens == g_fault.at && g_fault.step == Step::Open) return ERROR_ACCESS_DENIED;
        const LSTATUS status = test::Real().createKey(root, path, access, key);
        return g_held += status == ERROR_SUCCESS, status;
    },
    [](HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) -> LSTATUS {
        const int read = data ? g_reads[name] : ++g_reads[name];
        const Step step = std::wstring(g_fault.value, g_fault.value + strlen(g_fault.value)) == name && read == g_fault.at ? g_fault.step : Step::None;
        if (step == Step::KeepsGrowing && data) return *size += 2, ERROR_MORE_DATA;
        if ((step == Step::Size && !data) || (step == Step::Data && data)) return ERROR_ACCESS_DENIED;
        BYTE real[4096];
        DWORD realSize = sizeof real;
        const LSTATUS status = test::Real().queryValue(key, name, type, real, &realSize);
        const bool fits = status == ERROR_SUCCESS && realSize <= *size;
        // Growing once: the size first asked for is two bytes short, and the data read into that
        // much room (Windows leaves the room's contents undefined: here, what fits). Empty at
        // first: no bytes, then the data; asked with no buffer at all, Windows gives the size.
        if (data && status == ERROR_SUCCESS) memcpy(data, real, std::min(realSize, *size));
        SecureZeroMemory(real, sizeof real);
        if (!data) *size = step == Step::WasEmpty ? 0 : realSize - (step == Step::GrowsOnce ? 2 : 0);
        else if (!fits && status == ERROR_SUCCESS) *size = realSize;
        return status != ERROR_SUCCESS || !data || fits ? status : ERROR_MORE_DATA;
    },
    [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
        if (g_fault.step == Step::Set && name == std::string(g_fault.value)) return ERROR_ACCESS_DENIED;
        return g_stored.push_back(name), test::Real().setValue(key, name, type, data, size);
    },
    [](HKEY key) { return --g_held, test::Real().closeKey(key); },
};

// The form in this process, on the faulty registry, its messages recorded as "icon|text".
struct Form {
    explicit Form(const Fault& fault) {
        g_fault = fault, g_opens = g_outsideView = 0, g_reads.clear(), g_stored.clear(), messages.clear();
        MainForm::ShowMessage = [](HWND owner, const wchar_t* text, UINT type) {
            const UINT icon = type & MB_ICONMASK;
            // Each with [OK] alone, as the guide's examples show.
            messages += (owner ? L"" : L"unowned ") + std::wstring((type & MB_TYPEMASK) == MB_OK ? L"" : L"not OK alone ") +
                        (icon == MB_ICONWARNING ? L"warning|" : icon == MB_ICONERROR ? L"error|" : L"information|") + text;
            return IDOK;
        };
        EXPECT_TRUE(form.Create(GetModuleHandleW(nullptr)));
        Settle();
        // The number the dialog posts itself to warn of values not read, posted again as any
        // program could, once the dialog has said what it had to: nothing more is said.
        const std::wstring said = messages;
        PostMessageW(form.Window(), MainForm::kSayWhatWasNotRead, 0, 0);
        Settle();
        EXPECT_EQ(messages, said) << "said again, or said only when another program asked";
    }
    ~Form() { MainForm::ShowMessage = shown; }
    static void Settle() {
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
    }
    bool Ok() {  // true when the dialog ended
        SendMessageW(form.Window(), WM_COMMAND, MAKEWPARAM(kOKCommandId, BN_CLICKED), reinterpret_cast<LPARAM>(form.OKCommand));
        Settle();
        return !form.Window();
    }
    SharedModule::ScopedRegistryCalls seam{kFaulty};
    decltype(MainForm::ShowMessage) shown = MainForm::ShowMessage;
    static inline std::wstring messages;
    MainForm form;
};

}  // namespace

// What OK stores and what the user sees, in each ANSI code page, with every registry step made
// to fail in turn for each of its callers: the read as the dialog opens, the read again on OK,
// and the write. A value that could not be read is left as it is unless the user changes it; on
// OK nothing is stored over a value that could not be read again, nor when the key cannot be
// opened, nor when a text cannot be stored as shown (the focus then goes to its box); every key
// is opened in the 64-bit registry view. OK pressed again once all is well stores what is shown,
// and does not take the first OK's own writes for another program's.
TEST(Form, WhatOkStoresAndSays) {
    const std::wstring all = L"・自動ログオン（AutoAdminLogon）\n・ユーザー名（DefaultUserName）\n・パスワード（DefaultPassword）\n"
                             L"・ドメイン名（DefaultDomainName）\n・シャットダウンボタン（ShutdownWithoutLogon）\n・前回のユーザー名の表示（DontDisplayLastUserName）\n";
    const std::wstring user = L"・ユーザー名（DefaultUserName）\n", domain = L"・ドメイン名（DefaultDomainName）\n";
    auto atOpen = [](const std::wstring& list) {
        return L"warning|次の設定を読み取れませんでした。\n\n" + list + L"\nこれらの設定は、この画面で変更しない限り、OK を押しても書き換えません。";
    };
    const std::wstring again = L"\n管理者として実行しているかを確認し、もう一度 OK を押すか、CANCEL で終了してください。";
    const std::wstring kept = L"次の設定は、この画面を開いた後にほかのプログラムが変更したため、そのプログラムが保存した内容のままにしました。\n\n";
    const std::wstring notStored = L"error|次の設定を保存できませんでした。\n\n", notReadAgain = L"error|次の設定は、保存する前にいまの値を読み取れなかったため、保存しませんでした。\n\n";
    const std::wstring tooLong = L"warning|「ユーザー名」が長すぎるため保存できません。\nこのコンピューターの文字コードで 256 バイト以内（半角英数字なら 256 文字）になるように入力してください。";
    auto notHere = [](const std::wstring& box) {
        return L"warning|「" + box + L"」に、このコンピューターの文字コードで保存できない文字が含まれています。\nその文字を除いて入力し直してください。";
    };
    // The key has ON and the last user's name hidden, which opens as OFF (stored "0" on OK), and
    // no password (created empty on OK).
    const std::wstring opened = L"001|bob||D", before = L"1|bob|-|D|1|1", others = L"0|bob||D|1|1", typed = L"0|alice||D|1|1";
    const std::wstring password = L"・パスワード（DefaultPassword）\n";
    const struct Row {
        UINT codePage;  // 0: every one
        const char* label;
        Fault fault;
        std::wstring shown, messages, stored;  // once open; as it opens and on OK; once OK is pressed
        bool ends = true;
        std::wstring text = L"alice";  // typed into `box`
        const char* elsewhere = nullptr;  // a value another program sets to "other" once it is open
        int box = kUserTextId;
    } rows[] = {
        {0, "nothing fails", {}, opened, L"", typed},
        {0, "the key's opening, as the dialog opens: nothing created", {Step::Open, 1}, L"000|||", atOpen(all), L"1|alice|-|D|1|1"},
        {0, "the size asked, as it opens", {Step::Size, 1, "DefaultDomainName"}, L"001|bob||", atOpen(domain), typed},
        {0, "the data read, as it opens", {Step::Data, 1, "DefaultDomainName"}, L"001|bob||", atOpen(domain), typed},
        {0, "a value that keeps growing, as it opens", {Step::KeepsGrowing, 1, "DefaultDomainName"}, L"001|bob||", atOpen(domain), typed},
        {0, "a value that grows once, as it opens", {Step::GrowsOnce, 1, "DefaultDomainName"}, opened, L"", typed},
        {0, "a value empty when its size is asked, then written, as it opens", {Step::WasEmpty, 1, "DefaultDomainName"}, opened, L"", typed},
        {0, "the key's opening on OK", {Step::Open, 2}, opened, notStored + all + again, before, false},
        {0, "the size asked on OK", {Step::Size, 2, "DefaultUserName"}, opened, notReadAgain + user + again, others, false},
        {0, "the data read on OK", {Step::Data, 2, "DefaultUserName"}, opened, notReadAgain + user + again, others, false},
        {0, "a value that keeps growing on OK", {Step::KeepsGrowing, 2, "DefaultUserName"}, opened, notReadAgain + user + again, others, false},
        {0, "a value that grows once on OK", {Step::GrowsOnce, 2, "DefaultUserName"}, opened, L"", typed},
        {0, "the last write, after two that were made", {Step::Set, 1, "DefaultPassword"}, opened, notStored + password + again, L"0|alice|-|D|1|1", false},
        {0, "... and a value another program changed: one message", {Step::Set, 1, "DefaultPassword"}, opened,
         notStored + password + L"\n" + kept + domain + again, L"0|alice|-|other|1|1", false, L"alice", "DefaultDomainName"},
        {0, "a text too long", {}, opened, tooLong, before, false, std::wstring(257, L'u')},
        {0, "... which 256 bytes, trimmed, are not", {}, opened, L"", L"0|" + std::wstring(256, L'u') + L"||D|1|1", true, L" " + std::wstring(256, L'u') + L" "},
        {932, "a letter the code page lacks, in the last box", {}, opened, notHere(L"ドメイン名"), before, false, L"Caf\u00e9", nullptr, kDomainTextId},
        {932, "Japanese", {}, opened, L"", L"0|山田 太郎||D|1|1", true, L" 山田 太郎 "},
        {1252, "Japanese in a Western code page", {}, opened, notHere(L"ユーザー名"), before, false, L"山田"},
        {1252, "Western letters", {}, opened, L"", L"0|José Müller||D|1|1", true, L"José Müller"},
        {65001, "a lone surrogate", {}, opened, notHere(L"ユーザー名"), before, false, L"a\xD800"},
        {65001, "beyond the BMP", {}, opened, L"", L"0|山田\U0001F600||D|1|1", true, L"山田\U0001F600"},
    };
    for (const Row& row : rows) {
        if (row.codePage && row.codePage != GetACP()) continue;
        SCOPED_TRACE(row.label);
        test::ResetWinlogon({{"AutoAdminLogon", L"1"}, {"DefaultUserName", L"bob"}, {"DefaultDomainName", L"D"}, {"ShutdownWithoutLogon", L"1"},
                             {"DontDisplayLastUserName", L"1"}});
        Form form(row.fault);
        EXPECT_EQ(test::Shown(form.form.Window()), row.shown);
        const HWND box = GetDlgItem(form.form.Window(), row.box);
        SetWindowTextW(box, row.text.c_str());
        if (row.elsewhere) test::Put(test::kWinlogon, row.elsewhere, REG_SZ, std::string("other", 6));
        EXPECT_EQ(form.Ok(), row.ends);
        EXPECT_EQ(Form::messages, row.messages);
        EXPECT_EQ(test::Winlogon(), row.stored);
        EXPECT_EQ(g_outsideView, 0) << "a key opened outside the 64-bit registry view";
        if (row.ends) continue;
        EXPECT_EQ(GetFocus() == box, row.messages.starts_with(L"warning|「")) << "the focus on the box refused, and only then";
        const std::vector<std::string> first = g_stored;
        g_fault = {}, Form::messages.clear(), g_stored.clear();
        SetWindowTextW(form.form.DomainText, L"D");
        SetWindowTextW(form.form.UserText, L"alice");
        EXPECT_TRUE(form.Ok());
        EXPECT_EQ(Form::messages, row.elsewhere ? L"information|" + kept + domain + L"\n内容を確かめるには、Quellin をもう一度起動してください。" : L"");
        EXPECT_EQ(test::Winlogon(), row.elsewhere ? L"0|alice||other|1|1" : typed);
        for (const std::string& name : g_stored) EXPECT_EQ(std::count(first.begin(), first.end(), name), 0) << name << " written again";
    }
    EXPECT_EQ(g_held, 0) << "a key left open";
}

// No copy of a secret, read or typed, long or short, is left in memory that goes back to the
// heap: through a whole open, edit, OK that fails at one value and OK again, with a long text
// read, a short password typed, stored and then shortened, and a text of no string type that
// decodes a character at a time (which grows the text as it goes). Every text is held alike.
TEST(Form, NoPasswordIsLeftInFreedMemory) {
    const wchar_t* const stored = L"Zq9-stored-secret-0123456789-9qZ";
    test::ResetWinlogon({{"DefaultUserName", stored}});
    std::string marks;
    for (int i = 0; i < 12; ++i) marks += "Zq9-";
    test::Put(test::kWinlogon, "DefaultDomainName", REG_BINARY, marks + "9qZ\x82");  // a stray lead byte at its end in 932
    test::Watch(true);
    {
        // On the heap, so that a short password kept inside the dialog's own objects is seen too.
        const auto form = std::make_unique<Form>(Fault{Step::Set, 1, "ShutdownWithoutLogon"});
        wchar_t shown[64] = {}, domain[64] = {};  // on the stack: the test's own copies go to no heap block
        GetWindowTextW(form->form.UserText, shown, 64);
        EXPECT_STREQ(shown, stored);
        EXPECT_EQ(GetWindowTextW(form->form.DomainText, domain, 64), 52);
        SetWindowTextW(form->form.PasswordText, L"Zq9-9qZ");
        EXPECT_FALSE(form->Ok());
        g_fault = {};
        SetWindowTextW(form->form.PasswordText, L"");
        EXPECT_TRUE(form->Ok());
    }
    EXPECT_EQ(test::Watch(false), 0) << "blocks released still holding a secret";
    EXPECT_EQ(test::Winlogon(), L"0|Zq9-stored-secret-0123456789-9qZ||<not REG_SZ>|1|0");
    // The watch sees a copy that is not wiped.
    test::Watch(true);
    delete new std::wstring(stored);
    EXPECT_EQ(test::Watch(false), 1);
}
