// The mapping between the six values and the settings the dialog shows, run directly over the
// Winlogon key of the test prefix, with no window.
#include <gtest/gtest.h>

#include "settings/Winlogon.h"
#include "support.h"

using namespace Winlogon;

namespace {

// The settings as one line: ON/OFF, the three texts, and the shutdown and last-user boxes as
// C(hecked), U(nchecked) or - (left as they are).
std::wstring Show(const Settings& s) {
    std::wstring shown = s.autoLogon ? L"ON" : L"OFF";
    for (const auto& t : s.texts) shown += L"|" + test::Wide(t);
    for (Check c : {s.shutdownBox, s.dontDisplayLastUserName}) shown += c == Check::Checked ? L"|C" : c == Check::Unchecked ? L"|U" : L"|-";
    return shown;
}

}  // namespace

// Rows for one ANSI code page name it; the others hold in all.
TEST(Settings, Read) {
    struct Row {
        UINT codePage;  // 0: every one
        std::map<std::string, std::wstring> stored;
        std::wstring shown;
        DWORD type = REG_SZ;
    };
    const std::wstring p257(257, L'p'), kana86(86, L'あ');
    std::vector<Row> rows = {
        {0, {}, L"OFF||||-|-"},
        {0, {{"AutoAdminLogon", L" 1 "}}, L"ON||||-|-"},
        {0, {{"AutoAdminLogon", L"01"}}, L"OFF||||-|-"},
        {0, {{"AutoAdminLogon", L"yes"}}, L"OFF||||-|-"},
        // Each text as stored, whatever the code page can carry, trimmed.
        {0, {{"DefaultUserName", L" bob smith "}, {"DefaultPassword", L"p w"}, {"DefaultDomainName", L"CORP "}}, L"OFF|bob smith|p w|CORP|-|-"},
        {0, {{"DefaultPassword", p257}}, L"OFF||" + p257 + L"||-|-"},
        {932, {{"DefaultUserName", L" 山田 太郎 "}, {"DefaultDomainName", L"José"}}, L"OFF|山田 太郎||José|-|-"},
        {1252, {{"DefaultUserName", L"José Müller"}, {"DefaultPassword", L" Müller"}, {"DefaultDomainName", L"山田"}}, L"OFF|José Müller|Müller|山田|-|-", REG_EXPAND_SZ},
        {65001, {{"DefaultUserName", L"山田 太郎"}, {"DefaultPassword", L"pw\U0001F600 "}, {"DefaultDomainName", kana86}},
         L"OFF|山田 太郎|pw\U0001F600|" + kana86 + L"|-|-"},
    };
    // The same text in both flags: the shutdown box shows the opposite of its value.
    const std::pair<const wchar_t*, const wchar_t*> numbers[] = {
        {L"1", L"UC"}, {L" 01 ", L"UC"}, {L"+1", L"UC"}, {L"1.", L"UC"}, {L"0.6", L"UC"}, {L".6", L"UC"}, {L"1.4999", L"UC"},
        {L"0.51", L"UC"}, {L"0", L"CU"}, {L"2", L"CU"}, {L"-1", L"CU"}, {L"0.5", L"CU"}, {L"1.5", L"CU"}, {L"0.50", L"CU"},
        {L"-0.6", L"CU"}, {L"99999", L"CU"}, {L"100000000000000000001", L"CU"}, {L"0.5000000000000000001", L"UC"},
        {L"", L"--"}, {L"abc", L"--"}, {L"1e0", L"--"}, {L"1,000", L"--"}, {L"0x1", L"--"}, {L".", L"--"}, {L"-", L"--"},
        {L"1.2.3", L"--"}, {L"1 1", L"--"},
    };
    for (const auto& [text, boxes] : numbers) {
        rows.push_back({0, {{"ShutdownWithoutLogon", text}, {"DontDisplayLastUserName", text}}, L"OFF||||" + std::wstring{boxes[0], L'|', boxes[1]}});
    }
    for (const Row& row : rows) {
        if (row.codePage && row.codePage != GetACP()) continue;
        test::ResetWinlogon(row.stored, KEY_WOW64_64KEY, row.type);
        EXPECT_EQ(Show(ReadSettings().read), row.shown) << testing::PrintToString(row.stored);
    }
}

