// End to end: the real exe in the test prefix, worked from outside as a user would.
#include <gtest/gtest.h>

#include <vector>

#include "harness.h"

using namespace Layout;
using test::Form;

namespace {

struct Options {
    bool on, shutdown, dontDisplay;
};

bool Shows(const Form& form, Options o) {
    return form.Checked(kOnOptionId) == o.on && form.Checked(kOffOptionId) == !o.on &&
           form.Checked(kShutdownWithoutLogonCheckId) == o.shutdown && form.Checked(kDontDisplayLastUserNameCheckId) == o.dontDisplay;
}

}  // namespace

TEST(Dialog, LoadCascadeAndReactionsByClick) {
    struct Row {
        const char* label;
        std::map<std::string, std::wstring> stored;
        std::vector<int> clicks;
        Options after;
        std::wstring autoStored, dontDisplayStored;
    };
    const Row rows[] = {
        {"both on at load: OFF and the box", {{"AutoAdminLogon", L"1"}, {"DontDisplayLastUserName", L"1"}}, {}, {false, false, true}, L"0", L"1"},
        {"ON unchecks the last-user box", {{"DontDisplayLastUserName", L"1"}}, {kOnOptionId}, {true, false, false}, L"1", L"0"},
        {"the last-user box selects OFF", {{"AutoAdminLogon", L"1"}}, {kDontDisplayLastUserNameCheckId}, {false, false, true}, L"0", L"1"},
        {"unchecking the box changes nothing else", {{"DontDisplayLastUserName", L"1"}}, {kDontDisplayLastUserNameCheckId}, {false, false, false}, L"0", L"0"},
        {"the shutdown box changes nothing else", {{"AutoAdminLogon", L"1"}}, {kShutdownWithoutLogonCheckId}, {true, true, false}, L"1", L"0"},
        {"OFF changes nothing else", {{"AutoAdminLogon", L"1"}, {"ShutdownWithoutLogon", L"0"}}, {kOffOptionId}, {false, true, false}, L"0", L"0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon(row.stored);
        auto form = Form::Launch();
        ASSERT_NE(form->window(), nullptr);
        for (int id : row.clicks) form->Click(id);
        EXPECT_TRUE(test::WaitFor([&] { return Shows(*form, row.after); }));
        form->Click(kOKCommandId);
        ASSERT_TRUE(form->WaitEnded());
        EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "AutoAdminLogon")), row.autoStored);
        EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DontDisplayLastUserName")), row.dontDisplayStored);
    }
}

TEST(Dialog, CancelAndCloseStoreNothing) {
    const std::map<std::string, std::wstring> stored{{"AutoAdminLogon", L"yes"},           {"DefaultUserName", L" bob "},
                                                     {"DefaultPassword", L"pw"},           {"ShutdownWithoutLogon", L"abc"},
                                                     {"DontDisplayLastUserName", L"0.6"}};
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "CANCEL" : "close box");
        test::ResetWinlogon(stored);
        const test::Values before = test::ReadWinlogon();
        auto form = Form::Launch();
        form->Type(kUserTextId, L"alice");
        form->Click(kOnOptionId);
        form->Click(kShutdownWithoutLogonCheckId);
        EXPECT_TRUE(test::WaitFor([&] { return Shows(*form, {true, true, false}); }));
        if (cancel) form->Click(kCancelCommandId); else form->Close();
        ASSERT_TRUE(form->WaitEnded());
        EXPECT_EQ(test::ReadWinlogon(), before);
    }
}

TEST(Dialog, OkWithoutChangeWritesAllSix) {
    test::ResetWinlogon();
    auto form = Form::Launch();
    form->Click(kOKCommandId);
    ASSERT_TRUE(form->WaitEnded());
    const std::wstring expected[] = {L"0", L"", L"", L"", L"1", L"0"};
    const test::Values values = test::ReadWinlogon();
    for (int i = 0; i < 6; ++i) {
        const auto& value = values.at(test::kValueNames[i]);
        ASSERT_TRUE(value) << test::kValueNames[i];
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << test::kValueNames[i];
        EXPECT_EQ(value->text, expected[i]) << test::kValueNames[i];
    }
}

TEST(Dialog, JapaneseUserNameIsStoredAsShiftJisBytes) {
    test::ResetWinlogon();
    auto form = Form::Launch();
    form->Type(kUserTextId, L"山田　太郎");
    form->Click(kOKCommandId);
    ASSERT_TRUE(form->WaitEnded());
    EXPECT_EQ(test::GetAnsi(test::kWinlogon, "DefaultUserName"), "\x8e\x52\x93\x63\x81\x40\x91\xbe\x98\x59");
    EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DefaultUserName")), L"山田　太郎");
}

// Escape, and Enter in a text box, neither store nor end; Enter on a focused button presses it.
TEST(Dialog, EscapeAndEnterOnlyPressAFocusedButton) {
    test::ResetWinlogon();
    auto form = Form::Launch();
    form->Key(VK_ESCAPE);
    form->Key(VK_TAB);  // from the option pair to the user name
    EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(kUserTextId); }));
    form->Key(VK_RETURN);
    form->Key(VK_ESCAPE);
    // Typing after the keys proves they were handled before it.
    form->Type(kUserTextId, L"x");
    EXPECT_TRUE(IsWindow(form->window()));
    EXPECT_EQ(test::ReadWinlogon().at("AutoAdminLogon"), std::nullopt) << "something was stored";

    for (int i = 0; i < 3; ++i) form->Key(VK_TAB);  // password, domain, OK
    EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(kOKCommandId); }));
    form->Key(VK_RETURN);
    ASSERT_TRUE(form->WaitEnded());
    EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DefaultUserName")), L"x");
}

TEST(Dialog, OpensCentredOnTheScreen) {
    test::ResetWinlogon();
    auto form = Form::Launch();
    RECT r{};
    GetWindowRect(form->window(), &r);
    EXPECT_NEAR(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, 1);
    EXPECT_NEAR(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, 1);
}
