// Each key on each control of the real exe, pressed as on a keyboard: where the focus goes, what
// the dialog shows, and whether it ends and what it stores. What the README and the guide
// promise: Tab and Shift+Tab move through the controls, the arrows switch ON and OFF, Enter
// presses OK or CANCEL only when that button has the focus, Escape does nothing; CANCEL and
// closing the window store nothing; and the focus comes back to where it was.
#include "support.h"

#include <gtest/gtest.h>

#include "dialog/Layout.h"

using namespace Layout;

namespace {

using User = const test::Exe&;

// The controls that take the focus, in the order the user meets them, named as below.
constexpr std::pair<int, const wchar_t*> kStops[] = {{kOnOptionId, L"ON"}, {kOffOptionId, L"OFF"}, {kUserTextId, L"user"}, {kPasswordTextId, L"password"},
    {kDomainTextId, L"domain"}, {kOKCommandId, L"OK"}, {kCancelCommandId, L"CANCEL"}, {kShutdownWithoutLogonCheckId, L"shutdown"}, {kDontDisplayLastUserNameCheckId, L"last user"}};

// Each row starts from a key where only the last user's name is hidden: the dialog shows OFF
// and that box checked, and the key stays so until something is stored.
const std::wstring kUntouched = L"-|-|-|-|-|1";

// The control with the focus, then what the dialog shows and what is stored if either changed
// from `was` and the key as it was; or "end" and what is stored once the dialog has ended.
std::wstring Outcome(User exe, const std::wstring& was) {
    if (!IsWindow(exe.window)) return exe.Ended() ? L"end " + test::Winlogon() : L"no window, still running";
    std::wstring focus = exe.Focus() == exe.window ? L"the window" : exe.Focus() ? L"?" : L"no focus";
    for (const auto& [id, name] : kStops) focus = exe.Focus() == exe.Item(id) ? name : focus;
    const std::wstring shown = test::Shown(exe.window), stored = test::Winlogon();
    return focus + (shown != was ? L" " + shown : L"") + (stored != kUntouched ? L" stored " + stored : L"");
}

using After = std::array<std::wstring, std::size(kStops)>;  // per control of kStops, the outcome
const After kSame = {L"ON", L"OFF", L"user", L"password", L"domain", L"OK", L"CANCEL", L"shutdown", L"last user"};
const After kArrow = {L"OFF 000|||", L"ON 100|||", L"user", L"password", L"domain", L"OK", L"CANCEL", L"shutdown", L"last user"};

}  // namespace

TEST(Dialog, EachKeyOnEachControl) {
    const std::wstring ok = L"end 0||||1|1", cancel = L"end " + kUntouched;  // ended by OK: all six stored as shown
    const std::tuple<const char*, void (*)(User), After> rows[] = {
        {"Enter", [](User e) { e.Press({VK_RETURN}); }, {L"ON", L"OFF", L"user", L"password", L"domain", ok, cancel, L"shutdown", L"last user"}},
        {"Space", [](User e) { e.Press({VK_SPACE}); },
         {L"ON", L"OFF", L"user 001| ||", L"password 001|| |", L"domain 001||| ", ok, cancel, L"shutdown 011|||", L"last user 000|||"}},
        {"Escape", [](User e) { e.Press({VK_ESCAPE}); }, kSame},
        {"Tab", [](User e) { e.Press({VK_TAB}); }, {L"user", L"user", L"password", L"domain", L"OK", L"CANCEL", L"shutdown", L"last user", L"OFF"}},
        {"Shift+Tab", [](User e) { e.Press({VK_SHIFT, VK_TAB}); }, {L"last user", L"last user", L"OFF", L"user", L"password", L"domain", L"OK", L"CANCEL", L"shutdown"}},
        // Up moves as Left does, and Right as Down, in the dialog manager.
        {"Left", [](User e) { e.Press({VK_LEFT}); }, kArrow},
        {"Down", [](User e) { e.Press({VK_DOWN}); }, kArrow},
        {"Alt+F4", [](User e) { e.Press({VK_MENU, VK_F4}); }, After{cancel, cancel, cancel, cancel, cancel, cancel, cancel, cancel, cancel}},
        {"Enter and Space let go, never pressed (left over from a message box, say)", [](User e) { e.Press({VK_RETURN, VK_SPACE}, true); }, kSame},
        // Windows sends this when the unchecked ON merely gets the focus; Wine does not.
        {"ON reports a click on getting the focus", [](User e) {
             SendMessageW(e.window, WM_COMMAND, MAKEWPARAM(kOnOptionId, BN_CLICKED), reinterpret_cast<LPARAM>(e.Item(kOnOptionId)));
         }, kSame},
        // The dialog loses the activation and gets it back, as when the user switches away and
        // back; the desktop window takes it in between, which moves no X focus. (With another
        // program's window, Wine's X11 driver hands the foreground to its desktop when the
        // dialog learns of the X focus move only once it is active again, as on a busy machine:
        // focus_out in Wine's dlls/winex11.drv/event.c.)
        {"the desktop activated, then the dialog again", [](User e) {
             for (HWND front : {GetDesktopWindow(), e.window}) {
                 EXPECT_TRUE(SetForegroundWindow(front) && test::WaitFor([&] { return GetForegroundWindow() == front; })) << "not activated";
                 e.Settle();
             }
         }, kSame},
        {"minimised, restored", [](User e) {
             for (WPARAM command : {SC_MINIMIZE, SC_RESTORE}) {
                 PostMessageW(e.window, WM_SYSCOMMAND, command, 0);
                 const bool minimised = command == SC_MINIMIZE;
                 // Out of sight, no control has the focus, so none takes what is typed.
                 EXPECT_TRUE(test::WaitFor([&] { return IsIconic(e.window) == minimised && !(minimised && e.Focus()); }, 5000))
                     << "not restored, or a hidden control has the focus";
             }
         }, kSame},
    };
    for (const auto& [label, act, after] : rows) {
        for (size_t i = 0; i < std::size(kStops); ++i) {
            SCOPED_TRACE(testing::Message() << label << " on " << testing::PrintToString(std::wstring(kStops[i].second)));
            test::ResetWinlogon({{"DontDisplayLastUserName", L"1"}});
            test::Exe exe;
            EXPECT_EQ(exe.Focus(), exe.Item(kOffOptionId)) << "the focus starts elsewhere than on the selected option";
            if (kStops[i].first == kOnOptionId) exe.Click(kOnOptionId);  // selected first, as a user leaves it
            exe.PressAndSlideOff(kStops[i].first);  // the focus there, with nothing clicked
            const std::wstring was = test::Shown(exe.window);
            act(exe);
            std::wstring outcome;
            EXPECT_TRUE(test::WaitFor([&] { return (outcome = Outcome(exe, was)) == after[i]; }, 5000)) << testing::PrintToString(outcome);
        }
    }
}
