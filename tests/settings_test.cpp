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

// What each stored text shows as.
TEST(Settings, Read) {
    const std::wstring p257(257, L'p');
    std::vector<std::pair<std::map<std::string, std::wstring>, std::wstring>> rows = {
        {{}, L"OFF||||-|-"},
        {{{"AutoAdminLogon", L"01"}}, L"OFF||||-|-"},
        {{{"AutoAdminLogon", L"yes"}}, L"OFF||||-|-"},
        // Each text as stored, trimmed; one too long for the code page too.
        {{{"DefaultUserName", L" bob smith "}, {"DefaultPassword", L"p w"}, {"DefaultDomainName", p257}}, L"OFF|bob smith|p w|" + p257 + L"|-|-"},
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
        rows.push_back({{{"ShutdownWithoutLogon", text}, {"DontDisplayLastUserName", text}}, L"OFF||||" + std::wstring{boxes[0], L'|', boxes[1]}});
    }
    for (const auto& [stored, shown] : rows) {
        test::ResetWinlogon(stored);
        EXPECT_EQ(Show(ReadSettings().read), shown) << testing::PrintToString(stored);
    }
}
