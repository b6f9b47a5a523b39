// End to end: the real exe in the test prefix, worked from outside as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <vector>

#include "dialog/Layout.h"
#include "support.h"

using namespace Layout;

namespace {

// ON, the shutdown box and the last-user box as 1/0, then the three texts.
std::wstring Shown(const test::Exe& exe) {
    if (exe.Checked(kOffOptionId) == exe.Checked(kOnOptionId)) return L"neither or both options";
    std::wstring shown;
    for (int id : {kOnOptionId, kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId}) shown += exe.Checked(id) ? L'1' : L'0';
    for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) shown += L"|" + exe.Text(id);
    return shown;
}

struct Step {
    int id = 0;                      // clicked, or typed into
    WORD key = 0;                    // pressed on the focused control
    const wchar_t* typed = nullptr;
};

}  // namespace

TEST(Dialog, LoadReactionsAndOk) {
    const std::wstring p300(300, L'p');
    struct Row {
        const char* label;
        std::map<std::string, std::wstring> before;
        std::vector<Step> steps;
        std::wstring shown;   // after the steps
        std::wstring stored;  // by OK
    } const rows[] = {
        {"both on at load: OFF and the box", {{"AutoAdminLogon", L"1"}, {"DontDisplayLastUserName", L"1"}}, {}, L"001|||", L"0||||1|1"},
        {"ON unchecks the last-user box", {{"DontDisplayLastUserName", L"1"}}, {{.id = kOnOptionId}}, L"100|||", L"1||||1|0"},
        {"ON by arrow key does too", {{"DontDisplayLastUserName", L"1"}}, {{.key = VK_LEFT}}, L"100|||", L"1||||1|0"},
        {"the last-user box selects OFF", {{"AutoAdminLogon", L"1"}}, {{.id = kDontDisplayLastUserNameCheckId}}, L"001|||", L"0||||1|1"},
        {"unchecking the box changes nothing else", {{"DontDisplayLastUserName", L"1"}}, {{.id = kDontDisplayLastUserNameCheckId}}, L"000|||", L"0||||1|0"},
        {"the shutdown box changes nothing else", {{"AutoAdminLogon", L"1"}}, {{.id = kShutdownWithoutLogonCheckId}}, L"110|||", L"1||||0|0"},
        {"OFF changes nothing else", {{"AutoAdminLogon", L"1"}, {"ShutdownWithoutLogon", L"0"}}, {{.id = kOffOptionId}}, L"010|||", L"0||||0|0"},
        {"typed texts stored trimmed", {{"DefaultDomainName", L"CORP"}},
         {{.id = kUserTextId, .typed = L" 山田 太郎 "}, {.id = kPasswordTextId, .typed = L" p w "}},
         L"000| 山田 太郎 | p w |CORP", L"0|山田 太郎|p w|CORP|1|0"},
        {"values that cannot be shown are kept", {{"DefaultUserName", L"José"}, {"DefaultPassword", p300}}, {},
         L"000|José|" + p300 + L"|", L"0|José|" + p300 + L"||1|0"},
        {"... unless typed over", {{"DefaultUserName", L"José"}, {"DefaultPassword", p300}},
         {{.id = kPasswordTextId, .typed = L"new"}}, L"000|José|new|", L"0|José|new||1|0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon(row.before);
        test::Exe exe;
        for (const Step& step : row.steps) {
            if (step.typed) exe.Type(step.id, step.typed);
            else if (step.key) exe.Key(step.key);
            else exe.Click(step.id);
        }
        EXPECT_TRUE(test::WaitFor([&] { return Shown(exe) == row.shown; })) << "shows " << ::testing::PrintToString(Shown(exe));
        exe.Click(kOKCommandId);
        ASSERT_TRUE(exe.Ended());
        EXPECT_EQ(test::Winlogon(), row.stored);
    }
}

TEST(Dialog, CancelAndCloseStoreNothing) {
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "CANCEL" : "close box");
        test::ResetWinlogon({{"AutoAdminLogon", L"yes"}, {"DefaultUserName", L" bob "}, {"DontDisplayLastUserName", L"0.6"}});
        const std::wstring before = test::Winlogon();
        test::Exe exe;
        exe.Type(kUserTextId, L"alice");
        exe.Click(kOnOptionId);
        exe.Click(kShutdownWithoutLogonCheckId);
        EXPECT_TRUE(test::WaitFor([&] { return Shown(exe) == L"110|alice||"; }));
        if (cancel) exe.Click(kCancelCommandId);
        else exe.Close();
        ASSERT_TRUE(exe.Ended());
        EXPECT_EQ(test::Winlogon(), before);
    }
}

// Escape, and Enter in a text box, neither store nor end; Enter on a focused button presses it.
TEST(Dialog, EscapeAndEnterOnlyPressAFocusedButton) {
    test::ResetWinlogon();
    test::Exe exe;
    exe.Key(VK_ESCAPE);
    exe.Key(VK_TAB);  // from the option pair to the user name
    EXPECT_TRUE(test::WaitFor([&] { return exe.Focus() == exe.Item(kUserTextId); }));
    exe.Key(VK_RETURN);
    exe.Key(VK_ESCAPE);
    exe.Type(kUserTextId, L"山田　太郎");  // arrives after the keys: they have been handled
    EXPECT_TRUE(IsWindow(exe.window));
    EXPECT_EQ(test::Winlogon(), L"-|-|-|-|-|-") << "something was stored";

    for (int i = 0; i < 3; ++i) exe.Key(VK_TAB);  // password, domain, OK
    EXPECT_TRUE(test::WaitFor([&] { return exe.Focus() == exe.Item(kOKCommandId); }));
    exe.Key(VK_RETURN);
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), L"0|山田　太郎|||1|0");
}

// A text that cannot be stored as shown stops OK before anything is written: the message names
// the field, the focus goes to its box, and the dialog stays open.
TEST(Dialog, RefusalKeepsTheDialogOpenWithItsMessage) {
    const std::tuple<int, std::wstring, const wchar_t*> rows[] = {
        {kUserTextId, std::wstring(257, L'u'), L"「ユーザー名」が長すぎる"},
        {kDomainTextId, L"Caf\u00e9", L"「ドメイン名」に、このコンピューターの文字コードで保存できない文字"},
    };
    for (const auto& [box, typed, message] : rows) {
        SCOPED_TRACE(box);
        test::ResetWinlogon({{"AutoAdminLogon", L"1"}});
        test::Exe exe;
        exe.Type(box, typed);
        exe.Click(kOKCommandId);
        EXPECT_NE(exe.TakeMessage().find(message), std::wstring::npos);
        EXPECT_TRUE(test::WaitFor([&] { return exe.Focus() == exe.Item(box); })) << "the focus is not on the box";
        EXPECT_EQ(test::Winlogon(), L"1|-|-|-|-|-") << "something was stored";
        EXPECT_TRUE(IsWindow(exe.window)) << "the dialog ended";
    }
}

// A write that fails is reported, the dialog stays open, and OK can be pressed again.
TEST(Dialog, FailedWritesAreReportedAndOkCanBeRepeated) {
    auto allow = [](const wchar_t* sddl) {  // who may do what with the Winlogon key
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        HKEY key = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kWinlogon, 0, WRITE_DAC | KEY_WOW64_64KEY, &key);
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), 0);
        RegCloseKey(key);
        LocalFree(descriptor);
    };
    test::ResetWinlogon({{"DefaultUserName", L"bob"}});
    test::Exe exe;
    exe.Type(kUserTextId, L"alice");
    allow(L"D:(A;;KR;;;WD)");
    exe.Click(kOKCommandId);
    const std::wstring message = exe.TakeMessage();
    for (const char* name : test::kNames) EXPECT_NE(message.find(std::wstring(name, name + strlen(name))), std::wstring::npos) << name;
    EXPECT_TRUE(IsWindow(exe.window)) << "the dialog ended";
    allow(L"D:(A;;KA;;;WD)");
    exe.Click(kOKCommandId);
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), L"0|alice|||1|0");
}

TEST(Dialog, GeometryFocusOrderAndMaskingAtTwoDpis) {
    for (DWORD dpi : {96, 144}) {
        SCOPED_TRACE(dpi);
        test::ResetWinlogon();
        // The DPI that Wine gives processes started from now on.
        auto setDpi = [](DWORD d) { RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &d, 4); };
        setDpi(dpi);
        test::Exe exe;
        setDpi(96);

        EXPECT_TRUE(test::LaidOutAt(exe.window, dpi));
        RECT client{}, outer{};
        GetClientRect(exe.window, &client);
        EXPECT_NEAR(client.right, 260 * dpi / 96.0, dpi == 96 ? 0 : 1);
        EXPECT_NEAR(client.bottom, 175 * dpi / 96.0, dpi == 96 ? 0 : 1);
        GetWindowRect(exe.window, &outer);
        EXPECT_NEAR(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2, 1) << "not centred";
        EXPECT_NEAR(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2, 1) << "not centred";

        // The option pair first, as one stop; focusing it never selects ON.
        EXPECT_EQ(exe.Focus(), exe.Item(kOffOptionId));
        for (int id : {kUserTextId, kPasswordTextId, kDomainTextId, kOKCommandId, kCancelCommandId,
                       kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId, kOffOptionId}) {
            exe.Key(VK_TAB);
            EXPECT_TRUE(test::WaitFor([&] { return exe.Focus() == exe.Item(id); })) << "Tab did not reach " << id;
        }
        EXPECT_FALSE(exe.Checked(kOnOptionId));
        // Screen readers name a box by the label just before it.
        for (int i = 0; i < 3; ++i) EXPECT_EQ(GetWindow(exe.Item(kUserTextId + i), GW_HWNDPREV), exe.Item(kLabel0Id + i));

        EXPECT_EQ(SendMessageW(exe.Item(kPasswordTextId), EM_GETPASSWORDCHAR, 0, 0), L'*');
        exe.Type(kPasswordTextId, L"ab c");
        exe.Click(kOKCommandId);
        ASSERT_TRUE(exe.Ended());
        EXPECT_EQ(test::Winlogon(), L"0||ab c||1|0") << "the mask was stored, not the text";
    }
}

// The 32-bit build edits the key that the logon service reads, never its WOW6432Node copy.
TEST(View32, TheThirtyTwoBitExeEditsTheSixtyFourBitKey) {
    test::ResetWinlogon({{"DefaultUserName", L"sixty-four"}});
    test::ResetWinlogon({{"DefaultUserName", L"thirty-two"}, {"DefaultDomainName", L"WOW"}}, KEY_WOW64_32KEY);
    test::Exe exe(L"quellin-32bit.exe");
    EXPECT_EQ(exe.Text(kUserTextId), L"sixty-four");
    exe.Type(kDomainTextId, L"CORP");
    exe.Click(kOKCommandId);
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), L"0|sixty-four||CORP|1|0");
    EXPECT_EQ(test::Winlogon(KEY_WOW64_32KEY), L"-|thirty-two|-|WOW|-|-");
}
