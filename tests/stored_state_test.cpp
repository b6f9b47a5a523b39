// Whatever is stored, the dialog never loses or corrupts it, and never reports a failed store
// as success.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <vector>

#include "harness.h"
#include "registry/SharedModule.h"

using namespace Layout;
using test::Form;

namespace {

struct Value {
    const char* name;
    DWORD type;
    std::string bytes;  // through the ANSI API, as given
    std::wstring wide;  // or, when set, as REG_SZ through the Unicode API
};

std::wstring Repeat(wchar_t c, int count) { return std::wstring(count, c); }

const char* const kFlags[] = {"AutoAdminLogon", "ShutdownWithoutLogon", "DontDisplayLastUserName"};
const char* const kTexts[] = {"DefaultUserName", "DefaultPassword", "DefaultDomainName"};
const wchar_t kLetters[] = L"upd";  // a different letter per text value, to catch a mix-up
const int kTextIds[] = {kUserTextId, kPasswordTextId, kDomainTextId};

std::vector<Value> AllFlags(DWORD type, const std::string& bytes) {
    std::vector<Value> values;
    for (const char* name : kFlags) values.push_back({name, type, bytes, L""});
    return values;
}

// Each text value holds `text` with its own letter in place of 'x'.
std::vector<Value> AllTexts(const std::wstring& text) {
    std::vector<Value> values;
    for (int i = 0; i < 3; ++i) {
        std::wstring own = text;
        for (wchar_t& c : own) c = c == L'x' ? kLetters[i] : c;
        values.push_back({kTexts[i], REG_SZ, "", own});
    }
    return values;
}

void Store(const std::vector<Value>& values) {
    for (const Value& v : values) {
        if (!v.wide.empty()) test::PutText(test::kWinlogon, v.name, v.wide);
        else test::Put(test::kWinlogon, v.name, v.type, v.bytes.data(), static_cast<DWORD>(v.bytes.size()));
    }
}

}  // namespace

// Open, press OK without touching anything, read back.
TEST(StoredState, OkKeepsTheMeaningOfEveryStoredForm) {
    enum Flags { Missing, One, Zero, Two };
    enum Texts { None, Whole, Kept };
    struct Row {
        const char* label;
        std::vector<Value> values;
        Flags flags;
        Texts texts;
        std::wstring shownText;  // with 'x' for each value's own letter
    };
    const std::string sjisLead = std::string(255, 'x') + "\x82\xa0";
    const Row rows[] = {
        {"missing key", {}, Missing, None, L""},
        {"key without the values", {{"Unrelated", REG_SZ, std::string("x", 2), L""}}, Missing, None, L""},
        {"REG_SZ 1", AllFlags(REG_SZ, std::string("1", 2)), One, None, L""},
        {"REG_EXPAND_SZ 1", AllFlags(REG_EXPAND_SZ, std::string("1", 2)), One, None, L""},
        {"REG_MULTI_SZ 1", AllFlags(REG_MULTI_SZ, std::string("1\0", 3)), One, None, L""},
        {"REG_BINARY 1", AllFlags(REG_BINARY, "1"), One, None, L""},
        {"REG_DWORD 0", AllFlags(REG_DWORD, std::string("\0\0\0\0", 4)), Zero, None, L""},
        {"REG_DWORD 1", AllFlags(REG_DWORD, std::string("\1\0\0\0", 4)), One, None, L""},
        {"REG_DWORD 2", AllFlags(REG_DWORD, std::string("\2\0\0\0", 4)), Two, None, L""},
        {"256 bytes", AllTexts(Repeat(L'x', 256)), Missing, Whole, Repeat(L'x', 256)},
        {"257 bytes", AllTexts(Repeat(L'x', 257)), Missing, Kept, Repeat(L'x', 257)},
        {"1000 bytes", AllTexts(Repeat(L'x', 1000)), Missing, Kept, Repeat(L'x', 1000)},
        {"outside code page 932", AllTexts(L"Jos\u00e9 x\U0001F600"), Missing, Kept, L"Jos\u00e9 x\U0001F600"},
        {"two-byte character from the 256th byte", AllTexts(Repeat(L'x', 255) + L"あ"), Missing, Kept, Repeat(L'x', 255) + L"あ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon();
        Store(row.values);
        const test::Values before = test::ReadWinlogon();
        auto form = Form::Launch();
        ASSERT_NE(form->window(), nullptr);

        // What the dialog shows: a stored 1 in all three flags is the cascade (OFF, box checked).
        const bool shutdownBox = row.flags == Zero || row.flags == Two;
        EXPECT_FALSE(form->Checked(kOnOptionId));
        EXPECT_EQ(form->Checked(kShutdownWithoutLogonCheckId), shutdownBox);
        EXPECT_EQ(form->Checked(kDontDisplayLastUserNameCheckId), row.flags == One);
        for (int i = 0; i < 3; ++i) {
            std::wstring shown = row.shownText;
            for (wchar_t& c : shown) c = c == L'x' ? kLetters[i] : c;
            EXPECT_EQ(form->Text(kTextIds[i]), shown) << kTexts[i];
        }

        form->Click(kOKCommandId);
        ASSERT_TRUE(form->WaitEnded());
        const test::Values after = test::ReadWinlogon();
        const std::wstring flagTexts[] = {L"0", shutdownBox ? L"0" : L"1", row.flags == One ? L"1" : L"0"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(test::Str(after.at(kFlags[i])), flagTexts[i]) << kFlags[i];
            EXPECT_EQ(after.at(kFlags[i])->type, static_cast<DWORD>(REG_SZ)) << kFlags[i];
            if (row.texts == Kept) {
                EXPECT_EQ(after.at(kTexts[i]), before.at(kTexts[i])) << kTexts[i] << " was overwritten";
            } else {
                EXPECT_EQ(test::Str(after.at(kTexts[i])), row.texts == Whole ? test::Str(before.at(kTexts[i])) : L"") << kTexts[i];
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
    };
    const Row rows[] = {
        {"257-byte user name", kUserTextId, Repeat(L'u', 257), L"ユーザー名"},
        {"password with an emoji", kPasswordTextId, L"pass\U0001F511word", L"パスワード"},
        {"domain with a letter outside the code page", kDomainTextId, L"Caf\u00e9", L"ドメイン名"},
        {"256 bytes of two-byte characters", kUserTextId, Repeat(L'あ', 128), nullptr},
        {"a typed text replaces one that could not be shown", kPasswordTextId, L"new", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::ResetWinlogon({{"AutoAdminLogon", L"1"}, {"DefaultUserName", L"bob"}, {"DefaultDomainName", L"CORP"}});
        test::PutText(test::kWinlogon, "DefaultPassword", Repeat(L'p', 300));
        const test::Values before = test::ReadWinlogon();
        auto form = Form::Launch();
        form->Type(row.box, row.typed);
        form->Click(kOKCommandId);
        if (!row.field) {
            ASSERT_TRUE(form->WaitEnded());
            const int index = row.box == kUserTextId ? 1 : 2;
            EXPECT_EQ(test::Str(test::Get(test::kWinlogon, test::kValueNames[index])), row.typed);
            continue;
        }
        const std::wstring message = form->MessageText();
        EXPECT_NE(message.find(row.field), std::wstring::npos) << "message: " << ::testing::PrintToString(message);
        form->DismissMessage();
        EXPECT_TRUE(IsWindow(form->window())) << "the dialog ended";
        EXPECT_TRUE(test::WaitFor([&] { return form->Focus() == form->Item(row.box); })) << "focus is not on the box";
        EXPECT_EQ(test::ReadWinlogon(), before) << "something was stored";
        form->Click(kCancelCommandId);
        EXPECT_TRUE(form->WaitEnded());
    }
}

std::atomic<bool> g_failPassword{false};

// A write that fails midway is reported, the dialog stays open, and OK can be pressed again.
TEST(StoredState, FailedWriteIsReportedAndOkCanBeRepeated) {
    static const SharedModule::RegistryCalls failing{
        SharedModule::SystemRegistryCalls().createKey,
        SharedModule::SystemRegistryCalls().queryValue,
        [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
            if (g_failPassword && !strcmp(name, "DefaultPassword")) return ERROR_ACCESS_DENIED;
            return SharedModule::SystemRegistryCalls().setValue(key, name, type, data, size);
        },
        SharedModule::SystemRegistryCalls().closeKey,
        SharedModule::SystemRegistryCalls().queryValueW,
    };
    SharedModule::ScopedRegistryCalls calls(failing);
    test::ResetWinlogon();
    g_failPassword = true;
    auto form = Form::OnThread();
    form->Type(kUserTextId, L"alice");
    form->Type(kPasswordTextId, L"secret");
    form->Click(kOKCommandId);
    const std::wstring message = form->MessageText();
    EXPECT_NE(message.find(L"DefaultPassword"), std::wstring::npos) << ::testing::PrintToString(message);
    EXPECT_EQ(message.find(L"DefaultUserName"), std::wstring::npos) << ::testing::PrintToString(message);
    form->DismissMessage();
    EXPECT_TRUE(IsWindow(form->window()));
    EXPECT_EQ(form->Text(kPasswordTextId), L"secret");
    const std::array<std::wstring, 6> partly{L"0", L"alice", L"<missing>", L"", L"1", L"0"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(test::Str(test::Get(test::kWinlogon, test::kValueNames[i])), partly[i]);

    g_failPassword = false;
    form->Click(kOKCommandId);
    ASSERT_TRUE(form->WaitEnded());
    EXPECT_EQ(test::Str(test::Get(test::kWinlogon, "DefaultPassword")), L"secret");
}
