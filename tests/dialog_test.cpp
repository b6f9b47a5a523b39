// End to end: the real exe in the test prefix, worked from outside as a user would.
#include "support.h"

#include <gtest/gtest.h>

#include "dialog/Layout.h"

using namespace Layout;

namespace {

using User = const test::Exe&;
void Nothing(User) {}

struct Row {
    const char* label;
    std::map<std::string, std::wstring> before;
    void (*steps)(User);  // what the user does
    std::wstring shown;   // after the steps
    std::wstring stored;  // once it ends
    struct Write {
        const char* name;
        const char* text;  // null deletes
        DWORD type = REG_SZ;
    };
    std::vector<Write> meanwhile = {};  // another program's writes once it is open
    std::wstring kept = L"";  // the values OK's message names as kept; none: no message
    std::vector<Write> first = {};  // written after `before`, before it starts
};

void Write(const std::vector<Row::Write>& writes) {
    for (const auto& [name, text, type] : writes) {
        if (text) test::Put(test::kWinlogon, name, type, std::string(text, strlen(text) + 1));
        else EXPECT_EQ(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, test::kWinlogon, name), 0);
    }
}

// What the guide's table says OK stores: with ON and the shutdown box checked (or else with
// only the last-user box checked), and " a b " typed into each box. Each flag's row quotes two
// texts, the first for ON or checked; each text's says the spaces around it are left out.
std::wstring GuideSays(bool onAndShutdown) {
    const std::string guide = test::Source(L"docs/guide.ja.md");
    std::wstring stored;
    for (const char* name : test::kNames) {
        const size_t row = guide.find(std::string("| ") + name + " |"), third = guide.find('|', guide.find('|', row + 1) + 1) + 1;
        const std::string cell = row == std::string::npos ? "" : guide.substr(third, guide.find('\n', row) - third);
        std::wstring quoted;
        for (size_t q = cell.find('"'), e; q != std::string::npos && (e = cell.find('"', q + 1)) != std::string::npos; q = cell.find('"', e + 1)) {
            quoted += std::wstring(cell.begin() + q + 1, cell.begin() + e);
        }
        const bool first = onAndShutdown != (name == std::string("DontDisplayLastUserName"));
        const std::wstring said = cell.find("前後の半角スペースを除く") != std::string::npos ? L"a b" : quoted.size() == 2 ? quoted.substr(first ? 0 : 1, 1) : L"?";
        stored += (stored.empty() ? L"" : L"|") + said;
    }
    return stored;
}

void Play(const Row& row) {
    SCOPED_TRACE(row.label);
    test::ResetWinlogon(row.before);
    Write(row.first);
    test::Exe exe;
    Write(row.meanwhile);
    row.steps(exe);
    EXPECT_TRUE(test::WaitFor([&] { return test::Shown(exe.window) == row.shown; })) << "shows " << ::testing::PrintToString(test::Shown(exe.window));
    exe.Click(kOKCommandId);
    if (!row.kept.empty()) {
        EXPECT_EQ(exe.TakeMessage(), L"icon|OK:1 |次の設定は、この画面を開いた後にほかのプログラムが変更したため、そのプログラムが保存した内容のままにしました。\n\n" +
                                         row.kept + L"\n内容を確かめるには、Quellin をもう一度起動してください。");
    }
    ASSERT_TRUE(exe.Ended());
    EXPECT_EQ(test::Winlogon(), row.stored);
}

std::string U16(const std::wstring& text) { return {reinterpret_cast<const char*>(text.data()), text.size() * 2}; }

}  // namespace

// OK with nothing touched leaves every value exactly as stored, in type and bytes, whatever its
// form; only a missing one is created, and ON is stored as OFF where the dialog's own rule
// turned it off as it opened (both it and the last-user value read as 1).
TEST(Dialog, OkLeavesWhatTheUserLeftAlone) {
    struct Form {
        const char* label;
        DWORD type;
        std::string data;
        bool one = false;  // reads as 1
    } const forms[] = {
        {"REG_SZ", REG_SZ, U16({L"v1", 3})}, {"REG_SZ without a terminator", REG_SZ, U16(L"v1")},
        {"REG_SZ with spaces", REG_SZ, U16({L" a  b \0", 7})}, {"REG_SZ with a U+0000 inside", REG_SZ, U16({L"a\0b", 4})},
        {"REG_SZ of 255 bytes", REG_SZ, U16(std::wstring(255, L'x') + L'\0')}, {"REG_SZ of 256 bytes", REG_SZ, U16(std::wstring(256, L'x') + L'\0')},
        {"REG_SZ of 257 bytes", REG_SZ, U16(std::wstring(257, L'x') + L'\0')}, {"REG_EXPAND_SZ", REG_EXPAND_SZ, U16({L"%SystemRoot%", 13})},
        {"REG_MULTI_SZ", REG_MULTI_SZ, U16({L"a\0b\0", 5})}, {"REG_BINARY", REG_BINARY, "\x01\x02" "ab"},
        {"REG_BINARY over 256 bytes", REG_BINARY, std::string(300, 'b')}, {"REG_DWORD 2", REG_DWORD, std::string("\2\0\0\0", 4)},
        {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), true}, {"REG_QWORD 1", REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8), true},
        {"REG_NONE", REG_NONE, "ab"}, {"\" 1 \"", REG_SZ, U16({L" 1 ", 4}), true}, {"\"0.6\"", REG_SZ, U16({L"0.6", 4})}, {"\"yes\"", REG_SZ, U16({L"yes", 4})},
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
            std::vector<std::string> expected = test::Raw();
            test::Exe exe;
            exe.Click(kOKCommandId);
            ASSERT_TRUE(exe.Ended());
            // "0" stored as REG_SZ, as the exe writes it: the text and its terminator.
            if (form.one && lastUser) expected[0] = "1:" + U16({L"0", 2});
            if (!lastUser) expected[5] = "1:" + U16({L"0", 2});
            EXPECT_EQ(test::Raw(), expected);
        }
    }
}

// What the dialog shows at load and stores at the end: what the guide's table says each control
// stores; each control changed; a value that another program changed, created or deleted while
// the dialog was open is left as that program left it, and named in a message; one that the user
// changed too, if only by the other control's reaction, is stored as shown.
TEST(Dialog, FromStartToEnd) {
    const std::wstring w60 = std::wstring(60, L'w') + L"end", typed = L"| a b | a b | a b ";
    const std::vector<Row::Write> otherTypes = {{"AutoAdminLogon", "x", REG_BINARY}, {"DefaultUserName", "a", REG_MULTI_SZ}, {"DefaultPassword", "q", REG_EXPAND_SZ},
        {"DefaultDomainName", "e", REG_BINARY}, {"ShutdownWithoutLogon", "1", REG_BINARY}, {"DontDisplayLastUserName", "1", REG_EXPAND_SZ}};
    const Row rows[] = {
        {"ON and the shutdown box as the guide's table says, texts trimmed as it says", {},
         [](User e) { e.Click(kOnOptionId), e.Click(kShutdownWithoutLogonCheckId); for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) e.Type(id, L" a b "); },
         L"110" + typed, GuideSays(true)},
        {"the last-user box as the guide's table says", {},
         [](User e) { e.Click(kDontDisplayLastUserNameCheckId); for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) e.Type(id, L" a b "); },
         L"001" + typed, GuideSays(false)},
        {"each control changed from values of other types: stored as REG_SZ", {},
         [](User e) { e.Click(kOnOptionId), e.Type(kUserTextId, L"u"), e.Type(kPasswordTextId, L"p"), e.Type(kDomainTextId, L"d"), e.Click(kShutdownWithoutLogonCheckId); },
         L"110|u|p|d", L"1|u|p|d|0|0", {}, L"", otherTypes},
        {"each box takes a text longer than it is wide, on the keyboard", {},
         [](User e) { for (int id : {kUserTextId, kPasswordTextId, kDomainTextId}) e.Keys(id, std::wstring(60, L'w') + L"end"); },
         L"000|" + w60 + L"|" + w60 + L"|" + w60, L"0|" + w60 + L"|" + w60 + L"|" + w60 + L"|1|0"},
        {"a domain and the shutdown flag changed", {{"AutoAdminLogon", L"1"}, {"DefaultDomainName", L"CORP"}, {"ShutdownWithoutLogon", L"0"}},
         [](User e) { e.Type(kPasswordTextId, L"pw"); }, L"110||pw|CORP", L"1||pw|OTHER|1|0", {{"DefaultDomainName", "OTHER"}, {"ShutdownWithoutLogon", "1"}},
         L"・ドメイン名（DefaultDomainName）\n・シャットダウンボタン（ShutdownWithoutLogon）\n"},
        {"a user name deleted and a flag created", {{"DefaultUserName", L"bob"}}, Nothing, L"000|bob||", L"0|-|||1|1",
         {{"DefaultUserName", nullptr}, {"DontDisplayLastUserName", "1"}}, L"・ユーザー名（DefaultUserName）\n・前回のユーザー名の表示（DontDisplayLastUserName）\n"},
        {"a user name and the shutdown flag changed, and by the user too", {{"DefaultUserName", L"bob"}},
         [](User e) { e.Type(kUserTextId, L"alice"), e.Click(kShutdownWithoutLogonCheckId); }, L"010|alice||", L"0|alice|||0|0",
         {{"DefaultUserName", "carol"}, {"ShutdownWithoutLogon", "1"}}},
        {"both flags changed, and by the user: OFF by the reaction to the box", {{"AutoAdminLogon", L"1"}},
         [](User e) { e.Click(kDontDisplayLastUserNameCheckId); }, L"001|||", L"0||||1|1", {{"AutoAdminLogon", "yes"}, {"DontDisplayLastUserName", "0"}}},
        {"an empty value deleted, another retyped with the same bytes", {{"DefaultUserName", L""}, {"DefaultDomainName", L"D"}}, Nothing,
         L"000|||D", L"0|-||<not REG_SZ>|1|0", {{"DefaultUserName", nullptr}, {"DefaultDomainName", "D", REG_EXPAND_SZ}},
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
        // QUELLIN_NO_32BIT=1: set by the build where the kernel runs no 32-bit code.
        if (const char* no = getenv("QUELLIN_NO_32BIT"); no && no == std::string("1")) GTEST_SKIP() << "the 32-bit exe cannot start: Wine runs no 32-bit code on this machine (scripts/runs-32bit.sh)";
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
