// The real exe's window as the user sees it, frame and caption included, compared pixel for
// pixel with pictures approved by a person (tests/approved, made by scripts/approve-pictures.sh).
// They see what no query of a control shows: where everything stands at each DPI, the frame's
// buttons, the boxes' sunken edges, which button is the default, the colours, the mask.
#include "support.h"

#include <gtest/gtest.h>

#include "dialog/Layout.h"
#include "Picture.h"

using namespace Layout;

namespace {

// The approved picture paled, with the pixels that differ in red.
Picture Difference(const Picture& render, Picture approved) {
    for (size_t i = 0; i < approved.bgra.size() && render.bgra.size() == approved.bgra.size(); i += 4) {
        const bool differs = memcmp(&render.bgra[i], &approved.bgra[i], 3) != 0;
        for (size_t c = i; c < i + 3; ++c) approved.bgra[c] = differs ? (c == i + 2) * 255 : 170 + approved.bgra[c] / 3;
    }
    return approved;
}

}  // namespace

// Each state at 96 and 144 DPI: as opened on an empty key; ON, the three texts typed and the
// shutdown box checked; both boxes checked, which selects OFF. The focus stays off the text
// boxes, whose caret blinks. A render that differs is kept, with its difference, beside the
// tests; scripts/approve-pictures.sh makes the renders the approved pictures.
TEST(Picture, TheDialogLooksAsApproved) {
    const std::tuple<const wchar_t*, std::vector<int>, std::wstring> shots[] = {
        {L"empty", {}, L"000|||"},
        {L"on", {kOnOptionId, kShutdownWithoutLogonCheckId}, L"110|山田 太郎|p4ss word|CORP"},
        {L"hidden", {kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId}, L"011|山田 太郎|p4ss word|CORP"},
    };
    const std::wstring approvedDir = test::SourcePath(L"tests/approved");
    // The guide's picture is the empty one at 96 DPI (scripts/approve-pictures.sh copies it).
    EXPECT_EQ(ReadPng(test::SourcePath(L"docs/quellin.png")), ReadPng(approvedDir + L"/empty-96.png")) << "the guide's picture";
    for (DWORD dpi : {96, 144}) {
        for (const auto& [shot, clicks, shown] : shots) {
            const std::wstring name = shot + (L"-" + std::to_wstring(dpi)) + L".png";
            SCOPED_TRACE(testing::PrintToString(name));
            test::ResetWinlogon();
            auto setDpi = [](DWORD d) { RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &d, 4); };
            setDpi(dpi);  // for the processes started from now on
            test::Exe exe;
            setDpi(96);
            const wchar_t* const typed[] = {L"山田 太郎", L"p4ss word", L"CORP"};
            for (int i = 0; i < 3 && !clicks.empty(); ++i) exe.Type(kUserTextId + i, typed[i]);
            for (int id : clicks) exe.Click(id);
            const HWND focus = exe.Item(clicks.empty() ? kOffOptionId : clicks.back());
            ASSERT_TRUE(test::WaitFor([&] { return exe.Focus() == focus && test::Shown(exe.window) == shown; }))
                << "shows " << testing::PrintToString(test::Shown(exe.window));
            // What a picture of the window cannot show: that screen readers name each box by the
            // label just before it. (Where it opens, Form.ClassAndDpiChanges checks.)
            for (int i = 0; i < 3; ++i) EXPECT_EQ(GetWindow(exe.Item(kUserTextId + i), GW_HWNDPREV), exe.Item(kLabel0Id + i));
            // The option buttons overlap (ＯＮ's 735 twips reach into ＯＦＦ's) and paint over each
            // other in the order their changes come: painted afresh, in z-order, all of it, the
            // picture is the same every time. Painting ends a moment later: render until the render
            // matches. Renders of one build have then always been identical, on a busy machine
            // too: no tolerance.
            RedrawWindow(exe.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            const Picture approved = ReadPng(approvedDir + (L"/" + name));
            Picture render;
            if (!test::WaitFor([&] { return (render = CaptureWindow(exe.window)) == approved; }, 5000)) {
                const std::wstring rendered = test::BesideTests(L"rendered-" + name), difference = test::BesideTests(L"difference-" + name);
                ADD_FAILURE() << (approved.bgra.empty() ? "no approved picture could be read" : "differs from the approved picture")
                              << ": the render in " << testing::PrintToString(rendered) << (WritePng(render, rendered) ? "" : " (not written)")
                              << ", the differing pixels in red in " << testing::PrintToString(difference);
                WritePng(Difference(render, approved), difference);
            }
        }
    }
}
