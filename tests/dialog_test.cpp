// End to end: the real exe in the test prefix, worked from outside as a user would.
#include "support.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include "dialog/Layout.h"
#include "version.h"

using namespace Layout;

namespace {

using User = const test::Exe&;
void Nothing(User) {}

struct Row {
    UINT codePage;  // 0: every one
    const char* label;
    std::map<std::string, std::wstring> before;
    void (*steps)(User);  // what the user does
    std::wstring shown;   // after the steps
    std::wstring stored;  // once it ends
    int end = kOKCommandId;  // the button clicked to end it
    struct Write {
        const char* name;
        const char* text;  // null deletes
        DWORD type = REG_SZ;
    };
    std::vector<Write> meanwhile = {};  // another program's writes once it is open
    std::wstring kept = L"";  // the values OK's message names as kept; none: no message
};

void Play(const Row& row) {
    if (row.codePage && row.codePage != GetACP()) return;
    SCOPED_TRACE(row.label);
    test::ResetWinlogon(row.before);
    test::Exe exe;
    for (const auto& [name, text, type] : row.meanwhile) {
        if (text) test::Put(test::kWinlogon, name, type, std::string(text, strlen(text) + 1));
        else EXPECT_EQ(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, test::kWinlogon, name), 0);
    }
    row.steps(exe);
    EXPECT_TRUE(test::WaitFor([&] { return test::Shown(exe.window) == row.shown; })) << "shows " << ::testing::PrintToString(test::Shown(exe.window));
    exe.Click(row.end);
    if (!row.kept.empty()) {
        EXPECT_EQ(exe.TakeMessage(), L"information|OK:1 |次の設定は、この画面を開いた後にほかのプログラムが変更したため、そのプログラムが保存した内容のままにしました。\n\n" +
                                         row.kept + L"\n内容を確かめるには、Quellin をもう一度起動してください。");
    }
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), row.stored);
}

}  // namespace

// What is typed, and what was stored, in each ANSI code page.
TEST(Dialog, Texts) {
    const std::wstring p300(300, L'p'), w60 = std::wstring(60, L'w') + L"end";
    const std::map<std::string, std::wstring> spaced{{"DefaultUserName", L"  bob"}, {"DefaultPassword", L" pw "}, {"DefaultDomainName", L"D "}};
    const Row rows[] = {
        {0, "typed texts stored trimmed", {{"DefaultDomainName", L"CORP"}},
         [](User e) { e.Type(kUserTextId, L" bob  smith "); e.Type(kPasswordTextId, L" p w "); },
         L"000| bob  smith | p w |CORP", L"0|bob  smith|p w|CORP|1|0"},
        {932, "Japanese typed", {}, [](User e) { e.Type(kUserTextId, L" 山田 太郎 "); }, L"000| 山田 太郎 ||", L"0|山田 太郎|||1|0"},
        {1252, "Western typed", {}, [](User e) { e.Type(kUserTextId, L" José Müller "); }, L"000| José Müller ||", L"0|José Müller|||1|0"},
        {65001, "beyond the BMP typed", {}, [](User e) { e.Type(kUserTextId, L"山田\U0001F600"); }, L"000|山田\U0001F600||", L"0|山田\U0001F600|||1|0"},
        {0, "a text that cannot be stored, typed over, longer than the box", {{"DefaultPassword", p300}}, [](User e) { e.Type(kPasswordTextId, std::wstring(99, L'p')); },
         L"000||" + p300.substr(0, 99) + L"|", L"0||" + p300.substr(0, 99) + L"||1|0"},
        {0, "each box takes a text longer than it is wide, on the keyboard", {},
         [](User e) { for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) e.Keys(id, std::wstring(60, L'w') + L"end"); },
         L"000|" + w60 + L"|" + w60 + L"|" + w60, L"0|" + w60 + L"|" + w60 + L"|" + w60 + L"|1|0"},
        {0, "a text with spaces around it typed over, trimmed", spaced, [](User e) { e.Type(kUserTextId, L" new "); }, L"000| new |pw|D", L"0|new| pw |D |1|0"},
    };
    for (const Row& row : rows) Play(row);
}

namespace {

// Each value exactly as stored, type and bytes; "-" for a missing one.
std::vector<std::string> Raw() {
    std::vector<std::string> all;
    for (const char* name : test::kNames) {
        DWORD type = 0, size = 4096;
        std::string data(size, '\0');
        const LSTATUS status = RegGetValueA(HKEY_LOCAL_MACHINE, test::kWinlogon, name, RRF_RT_ANY | RRF_NOEXPAND | RRF_SUBKEY_WOW6464KEY, &type, data.data(), &size);
        all.push_back(status ? "-" : std::to_string(type) + ":" + data.substr(0, size));
    }
    return all;
}

std::string U16(const std::wstring& text) { return {reinterpret_cast<const char*>(text.data()), text.size() * 2}; }

}  // namespace

// OK with nothing touched leaves every value exactly as stored, in type and bytes, whatever its
// form; only a missing one is created, and ON is stored as OFF where the dialog's own rule
// turned it off as it opened (both it and the last-user value read as 1). Then each control
// changed: stored as REG_SZ.
TEST(Dialog, OkLeavesWhatTheUserLeftAlone) {
    struct Form {
        const char* label;
        DWORD type;
        std::string data;
        bool one = false;  // reads as 1
    } const forms[] = {
        {"REG_SZ", REG_SZ, U16({L"v1", 3})},
        {"REG_SZ without a terminator", REG_SZ, U16(L"v1")},
        {"REG_SZ with spaces", REG_SZ, U16({L" a  b \0", 7})},
        {"REG_SZ with a U+0000 inside", REG_SZ, U16({L"a\0b", 4})},
        {"REG_SZ of 255 bytes", REG_SZ, U16(std::wstring(255, L'x') + L'\0')},
        {"REG_SZ of 256 bytes", REG_SZ, U16(std::wstring(256, L'x') + L'\0')},
        {"REG_SZ of 257 bytes", REG_SZ, U16(std::wstring(257, L'x') + L'\0')},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, U16({L"%SystemRoot%", 13})},
        {"REG_MULTI_SZ", REG_MULTI_SZ, U16({L"a\0b\0", 5})},
        {"REG_BINARY", REG_BINARY, "\x01\x02" "ab"},
        {"REG_BINARY over 256 bytes", REG_BINARY, std::string(300, 'b')},
        {"REG_DWORD 2", REG_DWORD, std::string("\2\0\0\0", 4)},
        {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), true},
        {"REG_QWORD 1", REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8), true},
        {"REG_NONE", REG_NONE, "ab"},
        {"\" 1 \"", REG_SZ, U16({L" 1 ", 4}), true},
        {"\"0.6\"", REG_SZ, U16({L"0.6", 4})},
        {"\"yes\"", REG_SZ, U16({L"yes", 4})},
    };
    for (const Form& form : forms) {
        // A form that reads as 1 runs again without the last-user value, which is then created.
        for (const bool lastUser : {true, false}) {
            if (!lastUser && !form.one) continue;
            SCOPED_TRACE(testing::Message() << form.label << (lastUser ? "" : ", no last-user value"));
            test::ResetWinlogon();
            for (const char* name : test::kNames) {
                if (lastUser || name != std::string("DontDisplayLastUserName")) test::Put(test::kWinlogon, name, form.type, form.data, KEY_WOW64_64KEY, true);
            }
            std::vector<std::string> expected = Raw();
            {
                test::Exe exe;
                exe.Click(kOKCommandId);
                ASSERT_TRUE(exe.Ended());
            }
            const std::wstring stored = test::Winlogon();
            if (form.one && lastUser) expected[0] = stored.substr(0, 2) == L"0|" ? Raw()[0] : "ON not stored as \"0\"";
            if (!lastUser) expected[5] = stored.substr(stored.size() - 2) == L"|0" ? Raw()[5] : "the last-user value not created as \"0\"";
            EXPECT_EQ(Raw(), expected);
        }
    }
    test::ResetWinlogon();
    const std::pair<const char*, Form> before[] = {{"AutoAdminLogon", forms[9]}, {"DefaultUserName", forms[8]}, {"DefaultPassword", forms[7]},
                                                   {"DefaultDomainName", forms[10]}, {"ShutdownWithoutLogon", forms[13]}, {"DontDisplayLastUserName", forms[12]}};
    for (const auto& [name, form] : before) test::Put(test::kWinlogon, name, form.type, form.data, KEY_WOW64_64KEY, true);
    test::Exe exe;
    exe.Click(kOnOptionId);  // which unchecks the last-user box
    exe.Type(kUserTextId, L"u"), exe.Type(kPasswordTextId, L"p"), exe.Type(kDomainTextId, L"d");
    exe.Click(kShutdownWithoutLogonCheckId);
    EXPECT_TRUE(test::WaitFor([&] { return test::Shown(exe.window) == L"110|u|p|d"; })) << "shows " << testing::PrintToString(test::Shown(exe.window));
    exe.Click(kOKCommandId);
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), L"1|u|p|d|0|0");
}

// What the guide's table says each control stores: ON and OFF, a box checked and not, each as
// the text the guide quotes for it (the first for ON or checked), and a typed text without the
// spaces around it where the guide says so.
TEST(Dialog, StoresWhatTheGuideSays) {
    const std::string guide = test::Source(L"docs/guide.ja.md");
    auto cell = [&](const char* name) {  // the third cell of the value's row
        const size_t row = guide.find(std::string("| ") + name + " |");
        if (row == std::string::npos) return std::string("no row");
        const size_t third = guide.find('|', guide.find('|', row + 1) + 1) + 1;
        return guide.substr(third, guide.find('\n', row) - third);
    };
    auto quoted = [&](const char* name) {  // the texts quoted in it, in order
        std::wstring texts;
        const std::string c = cell(name);
        for (size_t q = c.find('"'), e; q != std::string::npos && (e = c.find('"', q + 1)) != std::string::npos; q = c.find('"', e + 1)) {
            texts += std::wstring(c.begin() + q + 1, c.begin() + e);
        }
        return texts;
    };
    for (const char* name : {"DefaultUserName", "DefaultPassword", "DefaultDomainName"}) {
        EXPECT_NE(cell(name).find("前後の半角スペースを除く"), std::string::npos) << name;
    }
    const std::wstring on = quoted("AutoAdminLogon"), shutdown = quoted("ShutdownWithoutLogon"), lastUser = quoted("DontDisplayLastUserName");
    ASSERT_EQ(on.size() + shutdown.size() + lastUser.size(), 6u) << "each flag's row quotes two texts";
    for (bool first : {true, false}) {
        test::ResetWinlogon();
        test::Exe exe;
        for (int id : first ? std::vector{kOnOptionId, kShutdownWithoutLogonCheckId} : std::vector{kDontDisplayLastUserNameCheckId}) exe.Click(id);
        for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) exe.Type(id, L" a b ");
        EXPECT_TRUE(test::WaitFor([&] { return test::Shown(exe.window) == (first ? L"110| a b | a b | a b " : L"001| a b | a b | a b "); }));
        exe.Click(kOKCommandId);
        ASSERT_TRUE(exe.Ended());
        const int i = first ? 0 : 1;
        EXPECT_EQ(test::Winlogon(), std::wstring(1, on[i]) + L"|a b|a b|a b|" + shutdown[i] + L'|' + lastUser[1 - i]);
    }
}

// OK that cannot store everything says why and keeps the dialog open. A text that cannot be
// stored as shown stops it before any write, with the focus on its box; writes that a
// read-only key refuses are named (the untouched ON is not written at all), and OK can be
// pressed again once they can be made.
TEST(Dialog, OkThatCannotStoreSaysWhy) {
    auto allow = [](const wchar_t* sddl) {  // who may do what with the Winlogon key
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        HKEY key = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kWinlogon, 0, WRITE_DAC | KEY_WOW64_64KEY, &key);
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), 0);
        RegCloseKey(key);
        LocalFree(descriptor);
    };
    // Whole, as the guide quotes them: the icon, one OK button, the text.
    const wchar_t* const tooLong = L"warning|OK:1 |「ユーザー名」が長すぎるため保存できません。\nこのコンピューターの文字コードで 256 バイト以内（半角英数字なら 256 文字）になるように入力してください。";
    const wchar_t* const notHere = L"warning|OK:1 |「ドメイン名」に、このコンピューターの文字コードで保存できない文字が含まれています。\nその文字を除いて入力し直してください。";
    const std::tuple<UINT, int, std::wstring, bool, const wchar_t*> rows[] = {
        {0, kUserTextId, std::wstring(257, L'u'), false, tooLong},
        {932, kDomainTextId, L"Caf\u00e9", false, notHere},
        {0, kUserTextId, L"alice", true, L"error|OK:1 |次の設定を保存できませんでした。\n\n・ユーザー名（DefaultUserName）\n"
                                         L"・パスワード（DefaultPassword）\n・ドメイン名（DefaultDomainName）\n・シャットダウンボタン（ShutdownWithoutLogon）\n"
                                         L"・前回のユーザー名の表示（DontDisplayLastUserName）\n\n管理者として実行しているかを確認し、もう一度 OK を押すか、CANCEL で終了してください。"},
    };
    for (const auto& [codePage, box, typed, readOnly, message] : rows) {
        if (codePage && codePage != GetACP()) continue;
        SCOPED_TRACE(testing::PrintToString(std::wstring(message)));
        test::ResetWinlogon({{"AutoAdminLogon", L"1"}});
        test::Exe exe;
        exe.Type(box, typed);
        if (readOnly) allow(L"D:(A;;KR;;;WD)");
        exe.Click(kOKCommandId);
        EXPECT_EQ(exe.TakeMessage(), message);
        EXPECT_TRUE(readOnly || test::WaitFor([&] { return exe.Focus() == exe.Item(box); })) << "the focus is not on the box";
        EXPECT_EQ(test::Winlogon(), L"1|-|-|-|-|-") << "something was stored";
        EXPECT_TRUE(IsWindow(exe.window)) << "the dialog ended";
        if (!readOnly) continue;
        allow(L"D:(A;;KA;;;WD)");
        exe.Click(kOKCommandId);
        ASSERT_TRUE(exe.Ended());
        EXPECT_EQ(test::Winlogon(), L"1|alice|||1|0");
    }
}

// What the dialog shows at load and stores at the end. CANCEL stores nothing; OK stores only
// what the user changed: a value that another program changed, created or deleted while the
// dialog was open is left as that program left it, and named in a message; one that the user
// changed too, if only by the other control's reaction, is stored as shown.
TEST(Dialog, FromStartToEnd) {
    const int ok = kOKCommandId;
    const Row rows[] = {
        {0, "both on at load: OFF and the box", {{"AutoAdminLogon", L"1"}, {"DontDisplayLastUserName", L"1"}}, Nothing, L"001|||", L"0||||1|1"},
        {0, "CANCEL stores nothing", {{"AutoAdminLogon", L"yes"}, {"DefaultUserName", L" bob "}},
         [](User e) { e.Type(kUserTextId, L"alice"); e.Click(kOnOptionId); e.Click(kShutdownWithoutLogonCheckId); },
         L"110|alice||", L"yes| bob |-|-|-|-", kCancelCommandId},
        {0, "a domain and the shutdown flag changed", {{"AutoAdminLogon", L"1"}, {"DefaultDomainName", L"CORP"}, {"ShutdownWithoutLogon", L"0"}},
         [](User e) { e.Type(kPasswordTextId, L"pw"); }, L"110||pw|CORP", L"1||pw|OTHER|1|0", ok, {{"DefaultDomainName", "OTHER"}, {"ShutdownWithoutLogon", "1"}},
         L"・ドメイン名（DefaultDomainName）\n・シャットダウンボタン（ShutdownWithoutLogon）\n"},
        {0, "a user name deleted and a flag created", {{"DefaultUserName", L"bob"}}, Nothing, L"000|bob||", L"0|-|||1|1", ok,
         {{"DefaultUserName", nullptr}, {"DontDisplayLastUserName", "1"}}, L"・ユーザー名（DefaultUserName）\n・前回のユーザー名の表示（DontDisplayLastUserName）\n"},
        {0, "a user name and the shutdown flag changed, and by the user too", {{"DefaultUserName", L"bob"}},
         [](User e) { e.Type(kUserTextId, L"alice"), e.Click(kShutdownWithoutLogonCheckId); }, L"010|alice||", L"0|alice|||0|0", ok,
         {{"DefaultUserName", "carol"}, {"ShutdownWithoutLogon", "1"}}},
        {0, "both flags changed, and by the user: OFF by the reaction to the box", {{"AutoAdminLogon", L"1"}},
         [](User e) { e.Click(kDontDisplayLastUserNameCheckId); }, L"001|||", L"0||||1|1", ok, {{"AutoAdminLogon", "yes"}, {"DontDisplayLastUserName", "0"}}},
        {0, "an empty value deleted, another retyped with the same bytes", {{"DefaultUserName", L""}, {"DefaultDomainName", L"D"}}, Nothing,
         L"000|||D", L"0|-||<not REG_SZ>|1|0", ok, {{"DefaultUserName", nullptr}, {"DefaultDomainName", "D", REG_EXPAND_SZ}},
         L"・ユーザー名（DefaultUserName）\n・ドメイン名（DefaultDomainName）\n"},
    };
    for (const Row& row : rows) Play(row);
}

// Started from a folder where a uxtheme.dll has been planted, as anyone can in a downloads
// folder, the exe takes its libraries from System32 only: it opens and shows the settings, and
// the stand-in, which leaves a marker when loaded, never is.
static void ExpectNoPlantedLibrary(const std::wstring& exe) {
    const std::wstring folder = test::BesideTests(L"planted\\"), marker = folder + L"planted.marker";
    CreateDirectoryW(folder.c_str(), nullptr);
    // Wine then looks beside this exe first, as Windows does for a library it does not know.
    const wchar_t* const order = L"native,builtin";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\planted.exe\\DllOverrides", L"uxtheme", REG_SZ, order, 30);
    const wchar_t* planted = exe.find(L"32bit") == std::wstring::npos ? L"planted-uxtheme.dll" : L"planted-uxtheme-32bit.dll";
    ASSERT_TRUE(CopyFileW(exe.c_str(), (folder + L"planted.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(test::BesideTests(planted).c_str(), (folder + L"uxtheme.dll").c_str(), FALSE));
    DeleteFileW(marker.c_str());
    test::ResetWinlogon();
    test::Exe user(folder + L"planted.exe");
    EXPECT_EQ(test::Shown(user.window), L"000|||");
    EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the planted library was loaded";
}

TEST(Dialog, NoLibraryComesFromBesideTheExe) { ExpectNoPlantedLibrary(test::Exes()[0]); }

// What only the 32-bit exe can show, started; skipped where it cannot start.
class View32 : public testing::Test {
protected:
    void SetUp() override {
        if (test::NoThirtyTwoBit()) GTEST_SKIP() << "the 32-bit exe cannot start: Wine runs no 32-bit code on this machine (scripts/runs-32bit.sh)";
    }
    const std::wstring exe_ = test::BesideTests(L"quellin-32bit.exe");
};

// The 32-bit build edits the key that the logon service reads, never its WOW6432Node copy.
TEST_F(View32, TheThirtyTwoBitExeEditsTheSixtyFourBitKey) {
    test::ResetWinlogon({{"DefaultUserName", L"sixty-four"}});
    test::ResetWinlogon({{"DefaultUserName", L"thirty-two"}, {"DefaultDomainName", L"WOW"}}, KEY_WOW64_32KEY);
    test::Exe exe(exe_);
    EXPECT_EQ(test::Shown(exe.window), L"000|sixty-four||");
    exe.Type(kDomainTextId, L"CORP");
    exe.Click(kOKCommandId);
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), L"0|sixty-four||CORP|1|0");
    EXPECT_EQ(test::Winlogon(KEY_WOW64_32KEY), L"-|thirty-two|-|WOW|-|-");
}

TEST_F(View32, NoLibraryComesFromBesideTheExe) { ExpectNoPlantedLibrary(exe_); }
