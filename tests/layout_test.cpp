// The dialog's exact look: geometry, focus order and masking at two DPIs through the real exe;
// fonts, captions and icon at four DPIs in-process.
#include <gtest/gtest.h>

#include "dialog/MainForm.h"
#include "harness.h"

using namespace Layout;

namespace {

// Where each control stands in the client area, in pixels at 96 DPI: its twips divided by 15.
struct Expected {
    int id, left, top, width, height;
} const kExpected[] = {
    {kFrameId, 4, 4, 113, 45},         {kOnOptionId, 12, 24, 49, 21},      {kOffOptionId, 56, 24, 49, 21},
    {kLabel0Id, 8, 68, 78, 13},        {kLabel1Id, 8, 92, 78, 13},         {kLabel2Id, 8, 116, 78, 13},
    {kUserTextId, 92, 64, 161, 19},    {kPasswordTextId, 92, 88, 161, 19}, {kDomainTextId, 92, 112, 161, 19},
    {kOKCommandId, 172, 4, 81, 25},    {kCancelCommandId, 172, 32, 81, 25},
    {kShutdownWithoutLogonCheckId, 8, 136, 245, 17}, {kDontDisplayLastUserNameCheckId, 8, 152, 245, 21},
};

// The DPI that Wine gives processes started from now on.
void SetDpi(DWORD dpi) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    EXPECT_EQ(RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi), 0);
    RegCloseKey(key);
}

}  // namespace

TEST(Layout, GeometryFocusOrderAndMaskingAtTwoDpis) {
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(dpi);
        const double scale = dpi / 96.0, tolerance = dpi == 96 ? 0 : 1;
        test::ResetWinlogon();
        SetDpi(dpi);
        auto form = test::Form::Launch();
        SetDpi(96);

        RECT client{}, outer{};
        GetClientRect(form->window(), &client);
        EXPECT_NEAR(client.right, 260 * scale, tolerance);
        EXPECT_NEAR(client.bottom, 175 * scale, tolerance);
        for (const Expected& e : kExpected) {
            RECT r{};
            GetWindowRect(form->Item(e.id), &r);
            MapWindowPoints(nullptr, form->window(), reinterpret_cast<POINT*>(&r), 2);
            const double actual[] = {double(r.left), double(r.top), double(r.right - r.left), double(r.bottom - r.top)};
            const int expected[] = {e.left, e.top, e.width, e.height};
            for (int i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i] * scale, tolerance) << "control " << e.id << ", edge " << i;
        }
        GetWindowRect(form->window(), &outer);
        EXPECT_NEAR(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2, 1) << "not centred";
        EXPECT_NEAR(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2, 1) << "not centred";

        // The option pair first, as one stop; focusing it never selects ON.
        EXPECT_EQ(form->Focus(), form->Item(kOffOptionId));
        for (int id : {kUserTextId, kPasswordTextId, kDomainTextId, kOKCommandId, kCancelCommandId,
                       kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId, kOffOptionId}) {
            form->Key(VK_TAB);
            EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(id); })) << "Tab did not reach " << id;
        }
        EXPECT_FALSE(form->Checked(kOnOptionId));
        // Screen readers name a box by the label just before it.
        for (int i = 0; i < 3; ++i) EXPECT_EQ(GetWindow(form->Item(kUserTextId + i), GW_HWNDPREV), form->Item(kLabel0Id + i));

        EXPECT_EQ(SendMessageW(form->Item(kPasswordTextId), EM_GETPASSWORDCHAR, 0, 0), L'*');
        form->Type(kPasswordTextId, L"ab c");
        form->Click(kOKCommandId);
        ASSERT_TRUE(form->WaitEnded());
        EXPECT_EQ(test::Text("DefaultPassword"), L"ab c") << "the mask was stored, not the text";
    }
}

// Every length scales, and every caption shows whole in the font the dialog names, at every DPI.
TEST(Layout, SizesFontsCaptionsAndIconAtEveryDpi) {
    test::ResetWinlogon();
    for (int dpi : {96, 120, 144, 192}) {
        SCOPED_TRACE(dpi);
        MainForm form;
        ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), dpi));
        EXPECT_NE(SendMessageW(form.Window(), WM_GETICON, ICON_BIG, 0), 0) << "no window icon";
        for (const Expected& e : kExpected) {
            RECT r{};
            GetWindowRect(GetDlgItem(form.Window(), e.id), &r);
            EXPECT_NEAR(r.right - r.left, e.width * dpi / 96.0, 1) << "width of " << e.id;
            EXPECT_NEAR(r.bottom - r.top, e.height * dpi / 96.0, 1) << "height of " << e.id;
        }
        for (const Control& c : kControls) {
            SCOPED_TRACE(c.id);
            const HWND item = GetDlgItem(form.Window(), c.id);
            const auto font = reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0));
            LOGFONTW f{};
            ASSERT_TRUE(GetObjectW(font, sizeof f, &f));
            const bool option = c.id == kOnOptionId || c.id == kOffOptionId;
            EXPECT_STREQ(f.lfFaceName, option ? L"ＭＳ Ｐゴシック" : L"ＭＳ ゴシック");
            EXPECT_NEAR(-f.lfHeight, (option ? 9.0 : 9.75) * dpi / 72, 0.5);
            EXPECT_EQ(f.lfCharSet, SHIFTJIS_CHARSET);
            EXPECT_EQ(f.lfWeight, FW_NORMAL);

            // The room a control leaves its caption: a check or option box takes 13 pixels
            // and a gap at 96 DPI, a frame indents its title, a button keeps a margin.
            wchar_t caption[64] = {};
            const int length = GetWindowTextW(item, caption, 64);
            const DWORD type = GetWindowLongW(item, GWL_STYLE) & BS_TYPEMASK;
            const int reserved = c.className[0] == L'S' ? 0 : type == BS_GROUPBOX ? 16 : type == BS_PUSHBUTTON ? 8 : 17;
            RECT r{};
            GetClientRect(item, &r);
            const HDC dc = GetDC(item);
            SelectObject(dc, font);
            SIZE extent{};
            TEXTMETRICW metrics{};
            GetTextExtentPoint32W(dc, caption, length, &extent);
            GetTextMetricsW(dc, &metrics);
            ReleaseDC(item, dc);
            EXPECT_LE(extent.cx, r.right - MulDiv(reserved, dpi, 96)) << "clipped: " << ::testing::PrintToString(std::wstring(caption));
            // The glyphs stand in the em square; the leading above it may be cut.
            EXPECT_LE(metrics.tmHeight - metrics.tmInternalLeading, r.bottom) << "too tall";
        }
    }
}

TEST(Layout, ExeCarriesOneIconOf32PixelsIn16Colours) {
    const HMODULE module = LoadLibraryExW(test::ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_TRUE(found) << "no application icon";
    // The group header (reserved, type, count), then per image: width, height, colours, ...
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    EXPECT_EQ(group[4], 1) << "images";
    EXPECT_EQ(group[6], 32) << "width";
    EXPECT_EQ(group[7], 32) << "height";
    EXPECT_EQ(group[8], 16) << "colours";
    FreeLibrary(module);
}
