// The mapping between the six values and the settings the dialog shows, run directly over the
// Winlogon key of the test prefix, with no window.
#include <gtest/gtest.h>

#include "settings/Winlogon.h"
#include "support.h"

using namespace Winlogon;

namespace {

// The settings as one line: ON/OFF, the three texts ('!' before one not shown as stored), and
// the shutdown and last-user boxes as C(hecked), U(nchecked) or - (left as they are).
std::wstring Show(const Settings& s) {
    std::wstring shown = s.autoLogon ? L"ON" : L"OFF";
    for (const Text& t : s.texts) shown += (t.shownAsStored ? L"|" : L"|!") + t.text;
    for (Check c : {s.shutdownBox, s.dontDisplayLastUserName}) shown += c == Check::Checked ? L"|C" : c == Check::Unchecked ? L"|U" : L"|-";
    return shown;
}

// The write seam: records the names written, in order, and makes the one named `failing` fail.
std::string written, failing;
const SharedModule::RegistryCalls kFailingWrite{
    SharedModule::SystemRegistryCalls().createKey, SharedModule::SystemRegistryCalls().queryValue,
    [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
        written += name + std::string(" ");
        if (name == failing) return ERROR_ACCESS_DENIED;
        return SharedModule::SystemRegistryCalls().setValue(key, name, type, data, size);
    },
    SharedModule::SystemRegistryCalls().closeKey, SharedModule::SystemRegistryCalls().queryValueW};

std::string Names(const std::vector<const Value*>& values) {
    std::string names;
    for (const Value* value : values) names += value->name + std::string(" ");
    return names;
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
        {0, {{"DefaultUserName", L" bob smith "}, {"DefaultPassword", L"p w"}, {"DefaultDomainName", L"CORP "}}, L"OFF|!bob smith|p w|!CORP|-|-"},
        {0, {{"DefaultPassword", p257}}, L"OFF||!" + p257 + L"||-|-"},
        {932, {{"DefaultUserName", L" 山田 太郎 "}, {"DefaultDomainName", L"José"}}, L"OFF|!山田 太郎||!José|-|-"},
        {932, {{"DefaultUserName", L"José"}}, L"OFF|!José|||-|-", REG_EXPAND_SZ},
        {1252, {{"DefaultUserName", L"José Müller"}, {"DefaultPassword", L" Müller"}, {"DefaultDomainName", L"山田"}}, L"OFF|José Müller|!Müller|!山田|-|-"},
        {1252, {{"DefaultUserName", L"山田"}}, L"OFF|!山田|||-|-", REG_EXPAND_SZ},
        {65001, {{"DefaultUserName", L"山田 太郎"}, {"DefaultPassword", L"pw\U0001F600 "}, {"DefaultDomainName", kana86}},
         L"OFF|山田 太郎|!pw\U0001F600|!" + kana86 + L"|-|-"},
        {65001, {{"DefaultUserName", kana86}}, L"OFF|!" + kana86 + L"|||-|-", REG_EXPAND_SZ},
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
        EXPECT_EQ(Show(ReadSettings()), row.shown) << testing::PrintToString(row.stored);
    }
    // Bytes that do not decode, in a value of no string type: marked, and so never stored back.
    test::ResetWinlogon();
    test::Put(test::kWinlogon, "DefaultUserName", REG_BINARY, "a\x82");  // '‚' in 1252; in 932 and UTF-8, no character
    EXPECT_EQ(Show(ReadSettings()), GetACP() == 1252 ? L"OFF|a\u201A|||-|-" : L"OFF|!a\uFFFD|||-|-");
}


// Each value as stored from the settings, with one write made to fail: it is reported, the
// others are still written, in order, and a second OK then writes it.
TEST(Settings, Store) {
    SharedModule::ScopedRegistryCalls seam(kFailingWrite);
    struct Row {
        UINT codePage;  // 0: every one
        const char* label;
        void (*change)(Settings&);  // from all unchecked, OFF, texts "u", "p", "d"
        std::optional<int> refused;
        std::wstring stored;        // the six values after, with "old" for the ones left alone
        const char* failing = "";
    } const rows[] = {
        {0, "as it is", [](Settings&) {}, {}, L"0|u|p|d|1|0"},
        {0, "ON", [](Settings& s) { s.autoLogon = true; }, {}, L"1|u|p|d|1|0"},
        {0, "the shutdown box checked stores 0", [](Settings& s) { s.shutdownBox = Check::Checked; }, {}, L"0|u|p|d|0|0"},
        {0, "the last-user box checked stores 1", [](Settings& s) { s.dontDisplayLastUserName = Check::Checked; }, {}, L"0|u|p|d|1|1"},
        {0, "left as they are counts as unchecked",
         [](Settings& s) { s.shutdownBox = s.dontDisplayLastUserName = Check::Leave; }, {}, L"0|u|p|d|1|0"},
        {0, "texts trimmed of spaces only, password included",
         [](Settings& s) { s.texts[0].text = L"  \tbob smith ", s.texts[1].text = L" p w ", s.texts[2].text = L""; }, {}, L"0|\tbob smith|p w||1|0"},
        {0, "256 bytes once trimmed fit", [](Settings& s) { s.texts[1].text = L" " + std::wstring(256, L'p') + L" "; }, {},
         L"0|u|" + std::wstring(256, L'p') + L"|d|1|0"},
        {0, "a text not shown as stored is left alone",
         [](Settings& s) { s.texts[1] = {std::wstring(300, L'p'), false, false}; }, {}, L"0|u|old|d|1|0"},
        {0, "... unless edited", [](Settings& s) { s.texts[1] = {L"new", false, true}; }, {}, L"0|u|new|d|1|0"},
        {0, "too long: nothing stored", [](Settings& s) { s.texts[1].text = std::wstring(257, L'p'); }, 1, L"old|old|old|old|old|old"},
        {0, "a failed write", [](Settings&) {}, {}, L"0|u|old|d|1|0", "DefaultPassword"},
        {65001, "a lone surrogate: nothing stored", [](Settings& s) { s.texts[2].text = L"a\xD800"; }, 2, L"old|old|old|old|old|old"},
    };
    for (const Row& row : rows) {
        if (row.codePage && row.codePage != GetACP()) continue;
        SCOPED_TRACE(row.label);
        std::map<std::string, std::wstring> old;
        for (const char* name : test::kNames) old[name] = L"old";
        test::ResetWinlogon(old);
        // A flag that the first OK stores in another type, text for a REG_DWORD.
        if (*row.failing) test::Put(test::kWinlogon, "ShutdownWithoutLogon", REG_DWORD, std::string(4, '\0'));
        Snapshot snapshot = TakeSnapshot();
        Settings settings;
        settings.texts[0].text = L"u", settings.texts[1].text = L"p", settings.texts[2].text = L"d";
        settings.shutdownBox = settings.dontDisplayLastUserName = Check::Unchecked;
        row.change(settings);
        written.clear();
        failing = row.failing;
        const StoreResult result = StoreSettings(settings, snapshot);
        EXPECT_EQ(result.refused, row.refused);
        EXPECT_EQ(Names(result.failed) + Names(result.kept), *row.failing ? row.failing + std::string(" ") : "") << "failed or kept";
        EXPECT_EQ(test::Winlogon(), row.stored);
        if (row.stored.find(L"old") == std::wstring::npos || *row.failing) {
            EXPECT_EQ(written, "AutoAdminLogon DefaultUserName DefaultPassword DefaultDomainName ShutdownWithoutLogon DontDisplayLastUserName ");
        }
        // OK pressed again once the write can be made: what the first OK stored is this
        // dialog's own doing, not another program's, and is written again as shown.
        if (*row.failing) {
            failing = "";
            const StoreResult again = StoreSettings(settings, snapshot);
            EXPECT_EQ(Names(again.failed) + Names(again.kept), "") << "the first OK's writes taken for another program's";
            EXPECT_EQ(test::Winlogon(), L"0|u|p|d|1|0");
        }
    }
}
