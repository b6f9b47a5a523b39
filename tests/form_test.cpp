// The form in-process, where a DPI change can be sent to it and its class read; and the exe's
// own resources.
#include <gtest/gtest.h>

#include "dialog/Layout.h"
#include "dialog/MainForm.h"
#include "support.h"

#include <dbghelp.h>
#include <imagehlp.h>

#include <string_view>

using namespace Layout;


// Its class gives the arrow cursor and the sharp icon. Started on a monitor whose DPI (120) is not the system's (96), the form is laid out for its
// monitor. Moved to monitors of other DPIs, it asks for exactly its size there and lays itself
// out anew, in fonts of the new size, and keeps what the user has typed and chosen and where the
// focus is.
TEST(Form, ClassAndDpiChanges) {
    test::ResetWinlogon({{"AutoAdminLogon", L"1"}, {"DefaultUserName", L"bob"}, {"ShutdownWithoutLogon", L"0"}});
    // The outer size for the dialog's client area of 3900 × 2625 twips (260 × 175 pixels at 96
    // DPI) at `dpi`, framed as Windows frames the window's own style there.
    auto outerAt = [](HWND window, int dpi) {
        RECT r{0, 0, MulDiv(3900, dpi, 1440), MulDiv(2625, dpi, 1440)};
        AdjustWindowRectExForDpi(&r, GetWindowLongW(window, GWL_STYLE), FALSE, GetWindowLongW(window, GWL_EXSTYLE), dpi);
        return std::pair(r.right - r.left, r.bottom - r.top);
    };
    MainForm form;
    const auto monitorDpi = MainForm::WindowDpi;
    MainForm::WindowDpi = [](HWND) { return 120; };
    const bool created = form.Create(GetModuleHandleW(nullptr));
    MainForm::WindowDpi = monitorDpi;
    ASSERT_TRUE(created);
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
    // Every control stays where it stands at 96 DPI, which the pictures approve, scaled, give or
    // take a pixel of rounding.
    auto place = [&](int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(form.Window(), id), &r);
        MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    std::map<int, RECT> at96;
    for (int dpi : {96, 144, 120, 96, 192}) {
        SCOPED_TRACE(dpi);
        // As Windows does: first the size the window wants at the new DPI, then the change.
        SIZE size{};
        ASSERT_TRUE(SendMessageW(form.Window(), WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size)));
        EXPECT_EQ(std::pair(size.cx, size.cy), outerAt(form.Window(), dpi));
        RECT suggested{10, 20, 10 + size.cx, 20 + size.cy};
        SendMessageW(form.Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(form.Window(), &outer);
        EXPECT_EQ(outer.left * 1000 + outer.top, 10020) << "not where Windows suggested";
        if (at96.empty()) for (const Control& c : kControls) at96[c.id] = place(c.id);  // the first change is to 96
        for (const Control& c : kControls) {
            SCOPED_TRACE(c.id);
            const RECT r = place(c.id);
            for (int edge = 0; edge < 4; ++edge) EXPECT_NEAR((&r.left)[edge], (&at96[c.id].left)[edge] * dpi / 96.0, dpi == 96 ? 0 : 1) << "edge " << edge;
            LOGFONTW f{};
            ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(form.Window(), c.id, WM_GETFONT, 0, 0)), sizeof f, &f));
            EXPECT_NEAR(-f.lfHeight, (c.id == kOnOptionId || c.id == kOffOptionId ? 9.0 : 9.75) * dpi / 72, 0.5);
        }
        EXPECT_EQ(state(), before);
    }
}

// Each exe as Explorer and the loader see it: its icon, version, manifest and headers, and a
// load configuration that has Windows take its imports from System32 only. The version is
// the one the build gives the program (version.h).
TEST(Exe, CarriesItsIconVersionAndLoadConfiguration) {
    for (const std::wstring& exe : test::Exes()) {
        SCOPED_TRACE(testing::PrintToString(exe));
        const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
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
        const char* const elements[] = {
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

        // The headers. PE32 and PE32+ optional headers place the checksum and DllCharacteristics alike.
        auto* image = reinterpret_cast<BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
        const IMAGE_OPTIONAL_HEADER& header = ImageNtHeader(image)->OptionalHeader;
        const bool x86 = ImageNtHeader(image)->FileHeader.Machine == IMAGE_FILE_MACHINE_I386;
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
        const WORD n[] = {QUELLIN_VERSION_NUMBERS};
        const DWORD high = MAKELONG(n[1], n[0]), low = MAKELONG(n[3], n[2]);
        EXPECT_EQ((std::vector<DWORD>{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS}),
                  (std::vector<DWORD>{high, low, high, low}));
        // Explorer shows the first translation it finds a block for: Japanese, then neutral.
        WORD* translations = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length));
        EXPECT_EQ(std::vector<WORD>(translations, translations + length / 2), (std::vector<WORD>{0x0411, 1200, 0x0000, 1200}));
        auto text = [&](const wchar_t* language, const wchar_t* name) {
            wchar_t* value = nullptr;
            const std::wstring path = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
            return VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ? std::wstring(value) : L"<none>";
        };
        const std::wstring file = exe.substr(exe.find_last_of(L'\\') + 1), version = L"" QUELLIN_VERSION_TEXT;
        const std::pair<const wchar_t*, std::wstring> blocks[] = {{L"041104b0", L"Quellin 自動ログオンの設定"}, {L"000004b0", L"Quellin automatic logon settings"}};
        for (const auto& [language, description] : blocks) {
            std::wstring all;
            for (const wchar_t* name : {L"ProductName", L"FileVersion", L"ProductVersion", L"OriginalFilename", L"FileDescription"}) all += text(language, name) + L"|";
            EXPECT_EQ(all, L"Quellin|" + version + L"|" + version + L"|" + file + L"|" + description + L"|");
        }
    }
}
