// End to end: the real exe in the test prefix, worked from outside as a user would.
#include <gtest/gtest.h>

#include <vector>

#include "harness.h"

using namespace Layout;

namespace {

// ON/OFF, shutdown box and last-user box as the dialog shows them, as 1/0.
std::wstring Options(const test::Form& form) {
    std::wstring shown;
    for (int id : {kOnOptionId, kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId}) shown += form.Checked(id) ? L'1' : L'0';
    return form.Checked(kOffOptionId) == form.Checked(kOnOptionId) ? L"neither or both options" : shown;
}

}  // namespace

TEST(Dialog, LoadCascadeAndReactionsByClick) {
    struct Row {
        const char* label;
        std::map<std::string, std::wstring> stored;
        std::vector<int> clicks;          // control ids; a negative number is a key, pressed
        const wchar_t* options;           // after the clicks
        const wchar_t *autoLogon, *last;  // stored by OK
    } const rows[] = {
        {"both on at load: OFF and the box", {{"AutoAdminLogon", L"1"}, {"DontDisplayLastUserName", L"1"}}, {}, L"001", L"0", L"1"},
        {"ON unchecks the last-user box", {{"DontDisplayLastUserName", L"1"}}, {kOnOptionId}, L"100", L"1", L"0"},
        {"ON by arrow key does too", {{"DontDisplayLastUserName", L"1"}}, {-VK_LEFT}, L"100", L"1", L"0"},
        {"the last-user box selects OFF", {{"AutoAdminLogon", L"1"}}, {kDontDisplayLastUserNameCheckId}, L"001", L"0", L"1"},
        {"unchecking the box changes nothing else", {{"DontDisplayLastUserName", L"1"}}, {kDontDisplayLastUserNameCheckId}, L"000", L"0", L"0"},
        {"the shutdown box changes nothing else", {{"AutoAdminLogon", L"1"}}, {kShutdownWithoutLogonCheckId}, L"110", L"1", L"0"},
        {"OFF changes nothing else", {{"AutoAdminLogon", L"1"}, {"ShutdownWithoutLogon", L"0"}}, {kOffOptionId}, L"010", L"0", L"0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon(row.stored);
        auto form = test::Form::Launch();
        for (int id : row.clicks) id > 0 ? form->Click(id) : form->Key(static_cast<WORD>(-id));
        EXPECT_TRUE(test::WaitFor([&] { return Options(*form) == row.options; })) << "shows " << ::testing::PrintToString(Options(*form));
        form->Click(kOKCommandId);
        ASSERT_TRUE(form->WaitEnded());
        EXPECT_EQ(test::Text("AutoAdminLogon"), row.autoLogon);
        EXPECT_EQ(test::Text("DontDisplayLastUserName"), row.last);
    }
}

TEST(Dialog, CancelAndCloseStoreNothing) {
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "CANCEL" : "close box");
        test::ResetWinlogon({{"AutoAdminLogon", L"yes"}, {"DefaultUserName", L" bob "}, {"DontDisplayLastUserName", L"0.6"}});
        const auto before = test::ReadWinlogon();
        auto form = test::Form::Launch();
        form->Type(kUserTextId, L"alice");
        form->Click(kOnOptionId);
        form->Click(kShutdownWithoutLogonCheckId);
        EXPECT_TRUE(test::WaitFor([&] { return Options(*form) == L"110"; }));
        if (cancel) form->Click(kCancelCommandId);
        else form->Close();
        ASSERT_TRUE(form->WaitEnded());
        EXPECT_EQ(test::ReadWinlogon(), before);
    }
}

// Escape, and Enter in a text box, neither store nor end; Enter on a focused button presses it.
TEST(Dialog, EscapeAndEnterOnlyPressAFocusedButton) {
    test::ResetWinlogon();
    auto form = test::Form::Launch();
    form->Key(VK_ESCAPE);
    form->Key(VK_TAB);  // from the option pair to the user name
    EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(kUserTextId); }));
    form->Key(VK_RETURN);
    form->Key(VK_ESCAPE);
    form->Type(kUserTextId, L"山田　太郎");  // arrives after the keys: they have been handled
    EXPECT_TRUE(IsWindow(form->window()));
    EXPECT_EQ(test::Text("AutoAdminLogon"), L"<missing>") << "something was stored";

    for (int i = 0; i < 3; ++i) form->Key(VK_TAB);  // password, domain, OK
    EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(kOKCommandId); }));
    form->Key(VK_RETURN);
    ASSERT_TRUE(form->WaitEnded());
    EXPECT_EQ(test::Text("DefaultUserName"), L"山田　太郎");
}
