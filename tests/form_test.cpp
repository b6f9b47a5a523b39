// The form in-process, where a DPI change can be sent to it; and the exe's own resources.
#include <gtest/gtest.h>

#include "dialog/Layout.h"
#include "dialog/MainForm.h"
#include "support.h"

#include <dbghelp.h>

using namespace Layout;

// Moved to monitors of other DPIs, the form lays itself out anew, in fonts of the new size,
// and keeps what the user has typed and chosen and where the focus is.
TEST(Form, FollowsDpiChanges) {
    test::ResetWinlogon({{"AutoAdminLogon", L"1"}, {"DefaultUserName", L"bob"}, {"ShutdownWithoutLogon", L"0"}});
    MainForm form;
    ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr)));
    ShowWindow(form.Window(), SW_SHOW);
    SetWindowTextW(form.PasswordText, L"typed");
    SetFocus(form.DomainText);
    auto state = [&] { return test::Shown(form.Window()) + (GetFocus() == form.DomainText ? L"|focus kept" : L"|focus lost"); };
    const std::wstring before = state();
    EXPECT_EQ(before, L"110|bob|typed||focus kept");
    // Every control stays where the pictures approve it at 96 DPI (the first change, to the same
    // DPI, moves nothing), scaled, give or take a pixel of rounding.
    auto place = [&](int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(form.Window(), id), &r);
        MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    std::map<int, RECT> at96;
    for (const Control& c : kControls) at96[c.id] = place(c.id);
    for (int dpi : {96, 144, 120, 96, 192}) {
        SCOPED_TRACE(dpi);
        // As Windows does: first the size the window wants at the new DPI, then the change.
        SIZE size{};
        ASSERT_TRUE(SendMessageW(form.Window(), WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size)));
        RECT suggested{10, 20, 10 + size.cx, 20 + size.cy};
        SendMessageW(form.Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT outer{};
        GetWindowRect(form.Window(), &outer);
        EXPECT_EQ(outer.left * 1000 + outer.top, 10020) << "not where Windows suggested";
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

// Each exe as Explorer and the loader see it: its icon, its version, and a load configuration
// that has Windows take its imports from System32 only.
TEST(Exe, CarriesItsIconVersionAndLoadConfiguration) {
    for (const std::wstring& exe : test::Exes()) {
        SCOPED_TRACE(testing::PrintToString(exe));
        const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        ASSERT_TRUE(found) << "no application icon";
        // The group header (reserved, type, count), then per image: width, height, colours, ...
        const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        EXPECT_EQ(std::vector<int>(group + 4, group + 9), (std::vector<int>{1, 0, 32, 32, 16})) << "one image, 32 x 32, 16 colours";

        // The manifest, where Windows looks for it: elevation, common controls 6, per-monitor DPI.
        const HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
        ASSERT_TRUE(manifest) << "no manifest as resource 1";
        const std::string xml(static_cast<const char*>(LockResource(LoadResource(module, manifest))), SizeofResource(module, manifest));
        for (const char* needed : {"level=\"requireAdministrator\" uiAccess=\"false\"", "name=\"Microsoft.Windows.Common-Controls\"",
                                   ">true</dpiAware>", ">PerMonitorV2, System</dpiAwareness>"}) {
            EXPECT_NE(xml.find(needed), std::string::npos) << "the manifest lacks " << needed;
        }

        auto* image = reinterpret_cast<void*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
        ULONG size = 0;
        const auto* config = static_cast<const BYTE*>(ImageDirectoryEntryToData(image, TRUE, IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, &size));
        const ULONG flagsAt = ImageNtHeader(image)->FileHeader.Machine == IMAGE_FILE_MACHINE_I386 ? 0x36 : 0x4E;  // DependentLoadFlags
        ASSERT_TRUE(config) << "no load configuration";
        EXPECT_TRUE(size >= flagsAt + 2 && *reinterpret_cast<const DWORD*>(config) >= flagsAt + 2) << "too short to hold the flags";
        EXPECT_EQ(*reinterpret_cast<const WORD*>(config + flagsAt), LOAD_LIBRARY_SEARCH_SYSTEM32);
        FreeLibrary(module);

        std::vector<BYTE> info(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
        ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, info.size(), info.data())) << "no version information";
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        const std::vector<DWORD> versions{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS};
        EXPECT_EQ(versions, (std::vector<DWORD>{0x10000, 0x10000, 0x10000, 0x10000})) << "1.0.1.0 both";
        auto text = [&](const wchar_t* language, const wchar_t* name) {
            wchar_t* value = nullptr;
            const std::wstring path = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
            return VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ? std::wstring(value) : L"<none>";
        };
        const std::wstring file = exe.substr(exe.find_last_of(L'\\') + 1);
        const std::pair<const wchar_t*, std::wstring> blocks[] = {{L"041104b0", L"Quellin 自動ログオンの設定"}, {L"000004b0", L"Quellin automatic logon settings"}};
        for (const auto& [language, description] : blocks) {
            std::wstring all;
            for (const wchar_t* name : {L"ProductName", L"FileVersion", L"ProductVersion", L"OriginalFilename", L"FileDescription"}) all += text(language, name) + L"|";
            EXPECT_EQ(all, L"Quellin|1.0.1|1.0.1|" + file + L"|" + description + L"|");
        }
    }
}
