// The form in-process: fonts, captions and icon at every DPI, and the exe's own resources.
#include <gtest/gtest.h>

#include "dialog/MainForm.h"
#include "dialog/Layout.h"
#include "support.h"

using namespace Layout;

TEST(Form, SizesFontsCaptionsAndIconAtEveryDpi) {
    test::ResetWinlogon();
    for (int dpi : {96, 120, 144, 192}) {
        SCOPED_TRACE(dpi);
        MainForm form;
        ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), dpi));
        EXPECT_NE(SendMessageW(form.Window(), WM_GETICON, ICON_BIG, 0), 0) << "no window icon";
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

TEST(Form, ExeCarriesOneIconOf32PixelsIn16Colours) {
    const HMODULE module = LoadLibraryExW(test::BesideTests(L"quellin.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
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
