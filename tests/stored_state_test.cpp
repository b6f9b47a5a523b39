// Whatever is stored, the dialog never loses or corrupts it, and never reports a failed store
// as success.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "harness.h"
#include "registry/SharedModule.h"

using namespace Layout;

namespace {

const char* const kFlags[] = {"AutoAdminLogon", "ShutdownWithoutLogon", "DontDisplayLastUserName"};
const char* const kTexts[] = {"DefaultUserName", "DefaultPassword", "DefaultDomainName"};
const int kTextIds[] = {kUserTextId, kPasswordTextId, kDomainTextId};

// The text with each value's own letter for 'x' (u, p, d), to catch values mixed up.
std::wstring Own(std::wstring text, int value) {
    for (wchar_t& c : text) c = c == L'x' ? L"upd"[value] : c;
    return text;
}

}  // namespace

// Open, press OK without touching anything, read back.
TEST(StoredState, OkKeepsTheMeaningOfEveryStoredForm) {
    enum Flags { Missing, One, Zero, Two };
    struct Row {
        const char* label;
        DWORD type;          // all three flags stored with this type and bytes
        std::string bytes;   // REG_NONE: no flags
        Flags flags;
        std::wstring texts;  // all three texts stored through the Unicode API, 'x' for the own letter
        bool kept;           // the texts could not be shown as they are: OK must not touch them
    } const rows[] = {
        {"missing values", REG_NONE, "", Missing, L"", false},
        {"REG_SZ 1", REG_SZ, std::string("1", 2), One, L"", false},
        {"REG_EXPAND_SZ 1", REG_EXPAND_SZ, std::string("1", 2), One, L"", false},
        {"REG_MULTI_SZ 1", REG_MULTI_SZ, std::string("1\0", 3), One, L"", false},
        {"REG_BINARY 1", REG_BINARY, "1", One, L"", false},
        {"REG_DWORD 0", REG_DWORD, std::string(4, '\0'), Zero, L"", false},
        {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), One, L"", false},
        {"REG_DWORD 2", REG_DWORD, std::string("\2\0\0\0", 4), Two, L"", false},
        {"256 bytes", REG_NONE, "", Missing, std::wstring(256, L'x'), false},
        {"257 bytes", REG_NONE, "", Missing, std::wstring(257, L'x'), true},
        {"1000 bytes", REG_NONE, "", Missing, std::wstring(1000, L'x'), true},
        {"outside code page 932", REG_NONE, "", Missing, L"Jos\u00e9 x\U0001F600", true},
        {"a two-byte character from the 256th byte", REG_NONE, "", Missing, std::wstring(255, L'x') + L"あ", true},
    };
    for (bool keyExists : {false, true}) {
        for (const Row& row : rows) {
            if (!keyExists && &row != &rows[0]) continue;
            SCOPED_TRACE(std::string(row.label) + (keyExists ? "" : ", and no key"));
            test::DeleteKey(test::kWinlogon);
            if (keyExists) test::Put(test::kWinlogon, "Unrelated", REG_SZ, "x");
            for (const char* flag : kFlags) {
                if (row.type != REG_NONE) test::Put(test::kWinlogon, flag, row.type, row.bytes);
            }
            for (int i = 0; i < 3 && !row.texts.empty(); ++i) test::PutText(test::kWinlogon, kTexts[i], Own(row.texts, i));
            const auto before = test::ReadWinlogon();
            auto form = test::Form::Launch();

            // Shown: a stored 1 in all three flags is the cascade (OFF, last-user box checked).
            const bool shutdownBox = row.flags == Zero || row.flags == Two;
            EXPECT_FALSE(form->Checked(kOnOptionId));
            EXPECT_EQ(form->Checked(kShutdownWithoutLogonCheckId), shutdownBox);
            EXPECT_EQ(form->Checked(kDontDisplayLastUserNameCheckId), row.flags == One);
            for (int i = 0; i < 3; ++i) EXPECT_EQ(form->Text(kTextIds[i]), Own(row.texts, i)) << kTexts[i];

            form->Click(kOKCommandId);
            ASSERT_TRUE(form->WaitEnded());
            const auto after = test::ReadWinlogon();
            const std::wstring flags[] = {L"0", shutdownBox ? L"0" : L"1", row.flags == One ? L"1" : L"0"};
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(after.at(kFlags[i]), test::Stored({REG_SZ, flags[i]})) << kFlags[i];
                if (row.kept) EXPECT_EQ(after.at(kTexts[i]), before.at(kTexts[i])) << kTexts[i] << " was overwritten";
                else EXPECT_EQ(after.at(kTexts[i]), test::Stored({REG_SZ, Own(row.texts, i)})) << kTexts[i];
            }
        }
    }
}

// A text that cannot be stored as shown stops OK before anything is written; one that can is
// stored whole, also in place of a stored value that could not be shown.
TEST(StoredState, OkRefusesTextsItCannotStore) {
    struct Row {
        const char* label;
        int box;
        std::wstring typed;
        const wchar_t* field;  // named in the message; null: stored, no message
    } const rows[] = {
        {"257-byte user name", kUserTextId, std::wstring(257, L'u'), L"ユーザー名"},
        {"password with an emoji", kPasswordTextId, L"pass\U0001F511word", L"パスワード"},
        {"domain with a letter outside the code page", kDomainTextId, L"Caf\u00e9", L"ドメイン名"},
        {"256 bytes of two-byte characters", kUserTextId, std::wstring(128, L'あ'), nullptr},
        {"typed over a stored value that could not be shown", kPasswordTextId, L"new", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon({{"AutoAdminLogon", L"1"}, {"DefaultUserName", L"bob"}, {"DefaultPassword", std::wstring(300, L'p')}});
        const auto before = test::ReadWinlogon();
        auto form = test::Form::Launch();
        form->Type(row.box, row.typed);
        form->Click(kOKCommandId);
        if (!row.field) {
            ASSERT_TRUE(form->WaitEnded());
            EXPECT_EQ(test::Text(row.box == kUserTextId ? "DefaultUserName" : "DefaultPassword"), row.typed);
            continue;
        }
        const std::wstring message = form->MessageText();
        EXPECT_NE(message.find(row.field), std::wstring::npos) << ::testing::PrintToString(message);
        form->DismissMessage();
        EXPECT_TRUE(IsWindow(form->window())) << "the dialog ended";
        EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(row.box); })) << "the focus is not on the box";
        EXPECT_EQ(test::ReadWinlogon(), before) << "something was stored";
    }
}

std::atomic<bool> g_failPassword{false};

// A write that fails midway is reported, the dialog stays open, and OK can be pressed again.
TEST(StoredState, FailedWriteIsReportedAndOkCanBeRepeated) {
    using SharedModule::SystemRegistryCalls;
    static const SharedModule::RegistryCalls failing{
        SystemRegistryCalls().createKey, SystemRegistryCalls().queryValue,
        [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
            if (g_failPassword && !strcmp(name, "DefaultPassword")) return ERROR_ACCESS_DENIED;
            return SystemRegistryCalls().setValue(key, name, type, data, size);
        },
        SystemRegistryCalls().closeKey, SystemRegistryCalls().queryValueW};
    SharedModule::ScopedRegistryCalls calls(failing);
    test::ResetWinlogon();
    g_failPassword = true;
    auto form = test::Form::OnThread();
    form->Type(kUserTextId, L"alice");
    form->Type(kPasswordTextId, L"secret");
    form->Click(kOKCommandId);
    const std::wstring message = form->MessageText();
    EXPECT_NE(message.find(L"DefaultPassword"), std::wstring::npos) << ::testing::PrintToString(message);
    EXPECT_EQ(message.find(L"DefaultUserName"), std::wstring::npos) << ::testing::PrintToString(message);
    form->DismissMessage();
    EXPECT_TRUE(IsWindow(form->window()));
    EXPECT_EQ(form->Text(kPasswordTextId), L"secret");
    const std::wstring partly[] = {L"0", L"alice", L"<missing>", L"", L"1", L"0"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(test::Text(test::kNames[i]), partly[i]) << test::kNames[i];

    g_failPassword = false;
    form->Click(kOKCommandId);
    ASSERT_TRUE(form->WaitEnded());
    EXPECT_EQ(test::Text("DefaultPassword"), L"secret");
}
