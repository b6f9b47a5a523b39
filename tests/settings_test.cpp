// The mapping between the six values and the controls, both ways, on a form created in-process
// over the Winlogon key of the test prefix.
#include <gtest/gtest.h>

#include <array>

#include "dialog/MainForm.h"
#include "harness.h"
#include "settings/Winlogon.h"

namespace {

struct Shown {
    bool on;
    std::wstring user, password, domain;
    bool shutdown, dontDisplay;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
    *os << "{on " << s.on << ", texts " << ::testing::PrintToString(s.user) << " " << ::testing::PrintToString(s.password)
        << " " << ::testing::PrintToString(s.domain) << ", shutdown box " << s.shutdown << ", last-user box " << s.dontDisplay << "}";
}

std::wstring TextOf(HWND box) {
    wchar_t text[512] = {};
    GetWindowTextW(box, text, 512);
    return text;
}

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

Shown Show(const MainForm& f) {
    EXPECT_NE(Checked(f.OnOption), Checked(f.OffOption)) << "exactly one option is selected";
    return {Checked(f.OnOption),   TextOf(f.UserText),
            TextOf(f.PasswordText), TextOf(f.DomainText),
            Checked(f.ShutdownWithoutLogonCheck), Checked(f.DontDisplayLastUserNameCheck)};
}

}  // namespace

TEST(Settings, EveryRowBothWays) {
    struct Row {
        const char* label;
        std::map<std::string, std::wstring> stored;
        Shown shown;
        std::array<std::wstring, 6> written;  // in the order of the six values
    };
    const std::wstring off = L"0", on = L"1";
    const Row rows[] = {
        {"empty key", {}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"1 between spaces", {{"AutoAdminLogon", L" 1 "}}, {true, L"", L"", L"", false, false}, {on, L"", L"", L"", on, off}},
        {"01 is not 1", {{"AutoAdminLogon", L"01"}}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"yes is not 1", {{"AutoAdminLogon", L"yes"}}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"shutdown 1 shows unchecked", {{"ShutdownWithoutLogon", L"1"}}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"shutdown 0 shows checked", {{"ShutdownWithoutLogon", L"0"}}, {false, L"", L"", L"", true, false}, {off, L"", L"", L"", off, off}},
        {"shutdown 2 shows checked", {{"ShutdownWithoutLogon", L"2"}}, {false, L"", L"", L"", true, false}, {off, L"", L"", L"", off, off}},
        {"shutdown abc leaves it", {{"ShutdownWithoutLogon", L"abc"}}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"last user 0.6 rounds to 1", {{"DontDisplayLastUserName", L"0.6"}}, {false, L"", L"", L"", false, true}, {off, L"", L"", L"", on, on}},
        {"last user 0.5 rounds to 0", {{"DontDisplayLastUserName", L"0.5"}}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"last user 1.5 rounds to 2", {{"DontDisplayLastUserName", L"1.5"}}, {false, L"", L"", L"", false, false}, {off, L"", L"", L"", on, off}},
        {"both on: the last-user box wins", {{"AutoAdminLogon", L"1"}, {"DontDisplayLastUserName", L"1"}},
         {false, L"", L"", L"", false, true}, {off, L"", L"", L"", on, on}},
        {"texts trimmed, password included",
         {{"DefaultUserName", L"  山田 太郎  "}, {"DefaultPassword", L" p w "}, {"DefaultDomainName", L" CORP"}},
         {false, L"山田 太郎", L"p w", L"CORP", false, false}, {off, L"山田 太郎", L"p w", L"CORP", on, off}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon(row.stored);
        MainForm form;
        ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), 96));
        EXPECT_EQ(Show(form), row.shown);
        EXPECT_TRUE(form.レジストリデータ書き込み処理().empty());
        const test::Values values = test::ReadWinlogon();
        for (int i = 0; i < 6; ++i) {
            const auto& value = values.at(test::kValueNames[i]);
            ASSERT_TRUE(value.has_value()) << test::kValueNames[i];
            EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << test::kValueNames[i];
            EXPECT_EQ(value->text, row.written[i]) << test::kValueNames[i];
        }
    }
}

TEST(Settings, TypedTextsAreStoredTrimmed) {
    test::ResetWinlogon();
    MainForm form;
    ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr), 96));
    SetWindowTextW(form.UserText, L"  a b  ");
    SetWindowTextW(form.PasswordText, L" secret ");
    form.レジストリデータ書き込み処理();
    EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DefaultUserName")), L"a b");
    EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DefaultPassword")), L"secret");
}

TEST(Settings, FlagNumbers) {
    struct Row {
        const wchar_t* text;
        std::optional<double> number;
    };
    const Row rows[] = {
        {L"1", 1}, {L" 01 ", 1}, {L"+1", 1}, {L"-1", -1}, {L"1.", 1}, {L".5", 0}, {L"0.6", 1}, {L"1.5", 2},
        {L"2.5", 2}, {L"-0.5", 0}, {L"99999", 99999}, {L"", std::nullopt}, {L" ", std::nullopt},
        {L"abc", std::nullopt}, {L"1e0", std::nullopt}, {L"1,000", std::nullopt}, {L"0x1", std::nullopt},
        {L".", std::nullopt}, {L"-", std::nullopt}, {L"1.2.3", std::nullopt}, {L"1 1", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Winlogon::FlagNumber(row.text), row.number) << ::testing::PrintToString(std::wstring(row.text));
    }
}
