// The dialog's layout: one table in twips (1/1440 inch), turned into pixels at the window's DPI.
#pragma once

#include <windows.h>

#include <cwchar>

namespace Layout {

// Control ids. None is 1 (IDOK) or 2 (IDCANCEL): the dialog manager sends those for Enter and
// Escape, and neither key may press OK or CANCEL.
enum ControlId : int {
    kFrameId = 100,
    kOnOptionId,
    kOffOptionId,
    kLabel0Id,
    kLabel1Id,
    kLabel2Id,
    kUserTextId,
    kPasswordTextId,
    kDomainTextId,
    kOKCommandId,
    kCancelCommandId,
    kShutdownWithoutLogonCheckId,
    kDontDisplayLastUserNameCheckId,
};

enum class Font { Form, Option };

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* caption;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height;  // twips; the option buttons' from the frame's corner
    bool inFrame;
    Font font;
};

// A fixed dialog frame with a close box: the size of the dialog never changes.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kClientWidth = 3900;
constexpr int kClientHeight = 2625;

struct FontFace {
    const wchar_t* face;
    int hundredthsOfPoint;
};
constexpr FontFace kFormFont{L"ＭＳ ゴシック", 975};
constexpr FontFace kOptionFont{L"ＭＳ Ｐゴシック", 900};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
// Each control that takes the focus starts a group of its own; the two option buttons share
// one, so that Tab stops once on them and the arrow keys move between them.
constexpr DWORD kStop = kChild | WS_TABSTOP | WS_GROUP;

// In the order the focus moves: the order of creation. Each label comes just before its box,
// which screen readers then name by it; labels take no focus, so this leaves the focus order
// as it is.
constexpr Control kControls[] = {
    {kFrameId, L"BUTTON", L"自動ログオン", kChild | WS_GROUP | BS_GROUPBOX, 0, 60, 60, 1695, 675, false, Font::Form},
    {kOnOptionId, L"BUTTON", L"ＯＮ", kStop | BS_AUTORADIOBUTTON, 0, 120, 300, 735, 315, true, Font::Option},
    {kOffOptionId, L"BUTTON", L"ＯＦＦ", kChild | WS_TABSTOP | BS_AUTORADIOBUTTON, 0, 780, 300, 735, 315, true, Font::Option},
    {kLabel0Id, L"STATIC", L"ユーザー名：", kChild | WS_GROUP | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 120, 1020, 1170, 195, false, Font::Form},
    {kUserTextId, L"EDIT", L"", kStop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 1380, 960, 2415, 285, false, Font::Form},
    {kLabel1Id, L"STATIC", L"パスワード：", kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 120, 1380, 1170, 195, false, Font::Form},
    {kPasswordTextId, L"EDIT", L"", kStop | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE, 1380, 1320, 2415, 285, false, Font::Form},
    {kLabel2Id, L"STATIC", L"ドメイン名：", kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 120, 1740, 1170, 195, false, Font::Form},
    {kDomainTextId, L"EDIT", L"", kStop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 1380, 1680, 2415, 285, false, Font::Form},
    {kOKCommandId, L"BUTTON", L"OK", kStop | BS_PUSHBUTTON, 0, 2580, 60, 1215, 375, false, Font::Form},
    {kCancelCommandId, L"BUTTON", L"CANCEL", kStop | BS_PUSHBUTTON, 0, 2580, 480, 1215, 375, false, Font::Form},
    {kShutdownWithoutLogonCheckId, L"BUTTON", L"シャットダウンボタンを無効にする。", kStop | BS_AUTOCHECKBOX, 0, 120, 2040, 3675, 255, false, Font::Form},
    {kDontDisplayLastUserNameCheckId, L"BUTTON", L"前回のユーザー名を非表示にする。", kStop | BS_AUTOCHECKBOX, 0, 120, 2280, 3675, 315, false, Font::Form},
};

inline int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// The control's rectangle in client pixels.
inline RECT ControlRect(const Control& c, int dpi) {
    const Control& frame = kControls[0];
    const int left = c.left + (c.inFrame ? frame.left : 0);
    const int top = c.top + (c.inFrame ? frame.top : 0);
    const int x = TwipsToPixels(left, dpi);
    const int y = TwipsToPixels(top, dpi);
    return RECT{x, y, x + TwipsToPixels(c.width, dpi), y + TwipsToPixels(c.height, dpi)};
}

// Character height in pixels, rounded down: at 144 DPI 9.75 points are 19.5 pixels, and 20
// would make the six full-width characters of a label wider than its 1170 twips.
inline int FontPixelHeight(const FontFace& font, int dpi) {
    return font.hundredthsOfPoint * dpi / 7200;
}

// A new font of the face at `dpi`, normal weight, Shift-JIS character set; the caller owns it.
inline HFONT MakeFont(const FontFace& font, int dpi) {
    LOGFONTW logFont{};
    logFont.lfHeight = -FontPixelHeight(font, dpi);
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(logFont.lfFaceName, font.face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&logFont);
}

}  // namespace Layout
