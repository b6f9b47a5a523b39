// The six values and the controls, both ways, on a form created in-process over the Winlogon
// key of the test prefix.
#include <gtest/gtest.h>

#include "dialog/MainForm.h"
#include "harness.h"
#include "settings/Winlogon.h"

TEST(Settings, EveryRowBothWays) {
    struct Row {
        const char* label;
        std::map<std::string, std::wstring> stored;
        std::wstring shown;    // ON/OFF, shutdown box, last-user box as 1/0, then the three texts
        std::wstring written;  // the six values, '|' between them
    } const rows[] = {
        {"empty key", {}, L"000|||", L"0||||1|0"},
        {"1 between spaces", {{"AutoAdminLogon", L" 1 "}}, L"100|||", L"1||||1|0"},
        {"01 is not 1", {{"AutoAdminLogon", L"01"}}, L"000|||", L"0||||1|0"},
        {"yes is not 1", {{"AutoAdminLogon", L"yes"}}, L"000|||", L"0||||1|0"},
        {"shutdown 1 shows unchecked", {{"ShutdownWithoutLogon", L"1"}}, L"000|||", L"0||||1|0"},
        {"shutdown 0 shows checked", {{"ShutdownWithoutLogon", L"0"}}, L"010|||", L"0||||0|0"},
        {"shutdown 2 shows checked", {{"ShutdownWithoutLogon", L"2"}}, L"010|||", L"0||||0|0"},
        {"shutdown abc leaves it", {{"ShutdownWithoutLogon", L"abc"}}, L"000|||", L"0||||1|0"},
        {"last user 0.6 rounds to 1", {{"DontDisplayLastUserName", L"0.6"}}, L"001|||", L"0||||1|1"},
        {"last user 0.5 rounds to 0", {{"DontDisplayLastUserName", L"0.5"}}, L"000|||", L"0||||1|0"},
        {"last user 1.5 rounds to 2", {{"DontDisplayLastUserName", L"1.5"}}, L"000|||", L"0||||1|0"},
        {"both on: the last-user box wins", {{"AutoAdminLogon", L"1"}, {"DontDisplayLastUserName", L"1"}}, L"001|||", L"0||||1|1"},
        {"texts trimmed, password included",
         {{"DefaultUserName", L"  山田 太郎  "}, {"DefaultPassword", L" p w "}, {"DefaultDomainName", L" CORP"}},
         L"000|山田 太郎|p w|CORP", L"0|山田 太郎|p w|CORP|1|0"},
    };
    auto checked = [](HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0"; };
    auto text = [](HWND box) {
        wchar_t buffer[256] = {};
        GetWindowTextW(box, buffer, 256);
        return std::wstring(buffer);
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon(row.stored);
        MainForm form;
        ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), 96));
        EXPECT_NE(checked(form.OnOption), checked(form.OffOption)) << "exactly one option is selected";
        const std::wstring shown = checked(form.OnOption) + std::wstring(checked(form.ShutdownWithoutLogonCheck)) +
                                   checked(form.DontDisplayLastUserNameCheck) + L"|" + text(form.UserText) + L"|" +
                                   text(form.PasswordText) + L"|" + text(form.DomainText);
        EXPECT_EQ(shown, row.shown);

        // The user puts spaces around each text: they are not stored.
        for (HWND box : {form.UserText, form.PasswordText, form.DomainText}) SetWindowTextW(box, (L"  " + text(box) + L" ").c_str());
        EXPECT_TRUE(form.レジストリデータ書き込み処理().empty());
        std::wstring written;
        for (const char* name : test::kNames) {
            const auto value = test::Get(test::kWinlogon, name);
            EXPECT_EQ(value ? value->type : REG_NONE, static_cast<DWORD>(REG_SZ)) << name;
            written += (written.empty() ? L"" : L"|") + test::Text(name);
        }
        EXPECT_EQ(written, row.written);
    }
}

TEST(Settings, FlagNumbers) {
    const std::pair<const wchar_t*, std::optional<double>> rows[] = {
        {L"1", 1}, {L" 01 ", 1}, {L"+1", 1}, {L"-1", -1}, {L"1.", 1}, {L".5", 0}, {L"0.6", 1}, {L"1.5", 2},
        {L"2.5", 2}, {L"-0.5", 0}, {L"99999", 99999}, {L"", std::nullopt}, {L"abc", std::nullopt},
        {L"1e0", std::nullopt}, {L"1,000", std::nullopt}, {L"0x1", std::nullopt}, {L".", std::nullopt},
        {L"-", std::nullopt}, {L"1.2.3", std::nullopt}, {L"1 1", std::nullopt},
    };
    for (const auto& [text, number] : rows) EXPECT_EQ(Winlogon::FlagNumber(text), number) << ::testing::PrintToString(std::wstring(text));
}
