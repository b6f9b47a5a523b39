// The dialog's exact look: geometry at two DPIs through the real exe, fonts and clipping at
// four DPIs in-process, focus order, masking, icon and manifest.
#include <gtest/gtest.h>

#include <cmath>

#include "dialog/MainForm.h"
#include "harness.h"

using namespace Layout;
using test::Form;

namespace {

// Where each control must stand, in pixels at 96 DPI (its twips divided by 15), relative to the
// client area.
struct Expected {
    int id;
    int left, top, width, height;
} const kExpected[] = {
    {kFrameId, 4, 4, 113, 45},
    {kOnOptionId, 12, 24, 49, 21},  // 120, 300 from the frame at 60, 60
    {kOffOptionId, 56, 24, 49, 21},
    {kLabel0Id, 8, 68, 78, 13},
    {kLabel1Id, 8, 92, 78, 13},
    {kLabel2Id, 8, 116, 78, 13},
    {kUserTextId, 92, 64, 161, 19},
    {kPasswordTextId, 92, 88, 161, 19},
    {kDomainTextId, 92, 112, 161, 19},
    {kOKCommandId, 172, 4, 81, 25},
    {kCancelCommandId, 172, 32, 81, 25},
    {kShutdownWithoutLogonCheckId, 8, 136, 245, 17},
    {kDontDisplayLastUserNameCheckId, 8, 152, 245, 21},
};

// Sets the DPI that Wine gives processes started from now on.
void SetDpi(DWORD dpi) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
}

}  // namespace

TEST(Layout, GeometryFocusOrderAndMaskingAtTwoDpis) {
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(dpi);
        const double scale = dpi / 96.0;
        const double tolerance = dpi == 96 ? 0 : 1;
        test::ResetWinlogon();
        SetDpi(dpi);
        auto form = Form::Launch();
        SetDpi(96);
        ASSERT_NE(form->window(), nullptr);

        RECT client{};
        GetClientRect(form->window(), &client);
        EXPECT_NEAR(client.right, 260 * scale, tolerance);
        EXPECT_NEAR(client.bottom, 175 * scale, tolerance);
        for (const Expected& e : kExpected) {
            SCOPED_TRACE(e.id);
            RECT r{};
            GetWindowRect(form->Item(e.id), &r);
            MapWindowPoints(nullptr, form->window(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_NEAR(r.left, e.left * scale, tolerance);
            EXPECT_NEAR(r.top, e.top * scale, tolerance);
            EXPECT_NEAR(r.right - r.left, e.width * scale, tolerance);
            EXPECT_NEAR(r.bottom - r.top, e.height * scale, tolerance);
        }
        RECT outer{};
        GetWindowRect(form->window(), &outer);
        EXPECT_NEAR(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2, 1);

        // The option pair first, as one stop, then round the rest; focusing the pair never
        // selects ON.
        const int order[] = {kUserTextId, kPasswordTextId, kDomainTextId, kOKCommandId, kCancelCommandId,
                             kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId, kOffOptionId};
        EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(kOffOptionId); }));
        for (int id : order) {
            form->Key(VK_TAB);
            EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(id); })) << "Tab did not reach " << id;
        }
        EXPECT_FALSE(form->Checked(kOnOptionId));

        EXPECT_EQ(SendMessageW(form->Item(kPasswordTextId), EM_GETPASSWORDCHAR, 0, 0), L'*');
        form->Type(kPasswordTextId, L"ab c");
        form->Click(kOKCommandId);
        ASSERT_TRUE(form->WaitEnded());
        EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DefaultPassword")), L"ab c");
    }
}

// Every caption shows whole in its control, in the fonts the dialog names, at every DPI.
TEST(Layout, FontsIconAndCaptionsAtEveryDpi) {
    test::ResetWinlogon();
    for (int dpi : {96, 120, 144, 192}) {
        SCOPED_TRACE(dpi);
        MainForm form;
        ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), dpi));
        EXPECT_NE(SendMessageW(form.Window(), WM_GETICON, ICON_BIG, 0), 0) << "no window icon";
        for (const Control& c : kControls) {
            const HWND item = GetDlgItem(form.Window(), c.id);
            SCOPED_TRACE(c.id);
            LOGFONTW font{};
            const HFONT handle = reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0));
            ASSERT_TRUE(GetObjectW(handle, sizeof font, &font));
            const bool option = c.id == kOnOptionId || c.id == kOffOptionId;
            EXPECT_STREQ(font.lfFaceName, option ? L"ＭＳ Ｐゴシック" : L"ＭＳ ゴシック");
            EXPECT_EQ(-font.lfHeight, static_cast<int>((option ? 9.0 : 9.75) * dpi / 72));
            EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
            EXPECT_EQ(font.lfWeight, FW_NORMAL);

            // Room the control leaves for its caption: a check or option box takes 13 pixels
            // and a gap at 96 DPI, a frame indents its title, a button keeps a margin.
            wchar_t caption[64] = {};
            GetWindowTextW(item, caption, 64);
            if (!*caption) continue;
            RECT r{};
            GetClientRect(item, &r);
            const DWORD type = GetWindowLongW(item, GWL_STYLE) & BS_TYPEMASK;
            const bool isStatic = c.id >= kLabel0Id && c.id <= kLabel2Id;
            const int reserved = isStatic ? 0 : type == BS_GROUPBOX ? 16 : type == BS_PUSHBUTTON ? 8 : 17;
            const HDC dc = GetDC(item);
            SelectObject(dc, handle);
            SIZE extent{};
            GetTextExtentPoint32W(dc, caption, static_cast<int>(wcslen(caption)), &extent);
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            ReleaseDC(item, dc);
            EXPECT_LE(extent.cx, r.right - MulDiv(reserved, dpi, 96)) << "caption clipped: " << ::testing::PrintToString(std::wstring(caption));
            // The glyphs stand in the em square; the leading above it may be cut.
            EXPECT_LE(metrics.tmHeight - metrics.tmInternalLeading, r.bottom) << "caption too tall";
        }
    }
}

TEST(Layout, ExeCarriesIconAndManifest) {
    wchar_t path[MAX_PATH];
    std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"quellin.exe";
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    auto resource = [&](LPCWSTR type) -> std::string {
        const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), type);
        if (!found) return {};
        return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found));
    };
#pragma pack(push, 2)
    struct GroupIcon {
        WORD reserved, type, count;
        BYTE width, height, colors, reserved2;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    const std::string group = resource(MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), sizeof(GroupIcon));
    const auto* icon = reinterpret_cast<const GroupIcon*>(group.data());
    EXPECT_EQ(icon->count, 1);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->height, 32);
    EXPECT_EQ(icon->bitCount, 4) << "16 colours";

    const std::string manifest = resource(MAKEINTRESOURCEW(24));  // RT_MANIFEST
    for (const char* needed : {"requireAdministrator", "Microsoft.Windows.Common-Controls", "<dpiAware", ">true<"}) {
        EXPECT_NE(manifest.find(needed), std::string::npos) << needed;
    }
    FreeLibrary(module);
}
