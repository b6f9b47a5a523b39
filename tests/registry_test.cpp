// Registry string access against Wine's real registry, under a scratch key, with the seam
// wrapped around the real calls to record them and to make one of them fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "harness.h"
#include "registry/SharedModule.h"

using namespace SharedModule;
using test::Get;

namespace {

const char* const kScratch = "SOFTWARE\\QuellinTest";

enum class Fail { None, Create, Query, Set };

// What the wrapped calls saw.
struct Seen {
    Fail fail = Fail::None;
    int opened = 0, closed = 0, sets = 0;
    std::string setBytes;
    const BYTE* buffer = nullptr;  // the last byte buffer handed to the registry
} seen;

const RegistryCalls kRecording{
    [](HKEY root, const char* path, HKEY* key) -> LSTATUS {
        if (seen.fail == Fail::Create) return ERROR_ACCESS_DENIED;
        const LSTATUS status = SystemRegistryCalls().createKey(root, path, key);
        seen.opened += status == ERROR_SUCCESS;
        return status;
    },
    [](HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) -> LSTATUS {
        seen.buffer = data;
        return seen.fail == Fail::Query ? ERROR_ACCESS_DENIED : SystemRegistryCalls().queryValue(key, name, type, data, size);
    },
    [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
        seen.buffer = data;
        ++seen.sets;
        seen.setBytes.assign(reinterpret_cast<const char*>(data), size);
        return seen.fail == Fail::Set ? ERROR_ACCESS_DENIED : SystemRegistryCalls().setValue(key, name, type, data, size);
    },
    [](HKEY key) -> LSTATUS {
        ++seen.closed;
        return RegCloseKey(key);
    },
    SystemRegistryCalls().queryValueW,
};

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 932u) << "the tests expect Shift-JIS as the ANSI code page";
        test::DeleteKey(kScratch);
        seen = {};
    }
    void TearDown() override {
        EXPECT_EQ(seen.opened, seen.closed) << "a key was left open";
        test::DeleteKey(kScratch);
    }
    ScopedRegistryCalls calls_{kRecording};
};

std::wstring Repeat(const std::wstring& unit, int count) {
    std::wstring text;
    for (int i = 0; i < count; ++i) text += unit;
    return text;
}

}  // namespace

TEST_F(Registry, WhatReachesTheRegistry) {
    struct Row {
        const char* label;
        std::wstring text;
        bool stored;
        std::wstring expected;  // what the value holds afterwards
    };
    const Row rows[] = {
        {"empty", L"", true, L""},
        {"ten ASCII characters", L"abcdefghij", true, L"abcdefghij"},
        {"spaces are the caller's business", L" a b ", true, L" a b "},
        {"256 bytes", Repeat(L"x", 256), true, Repeat(L"x", 256)},
        {"256 bytes of two-byte characters", Repeat(L"あ", 128), true, Repeat(L"あ", 128)},
        {"stops at U+0000", std::wstring(L"ab\0cd", 5), true, L"ab"},
        {"257 bytes", Repeat(L"x", 257), false, L""},
        {"1000 bytes", Repeat(L"x", 1000), false, L""},
        {"a two-byte character across the limit", Repeat(L"x", 255) + L"あ", false, L""},
        {"a letter outside code page 932", L"José", false, L""},
        {"an emoji", L"pw\U0001F600", false, L""},
        {"a look-alike of a code page 932 character", L"A\u301CB", false, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        seen.sets = 0;
        test::DeleteKey(kScratch);
        EXPECT_EQ(SetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v", row.text), row.stored ? kTrue : kFalse);
        EXPECT_EQ(CheckRegistryString(row.text) == StoreCheck::Ok, row.stored);
        if (!row.stored) {
            EXPECT_EQ(seen.sets, 0) << "a refused text reached the registry";
            EXPECT_FALSE(Get(kScratch, "v").has_value());
            continue;
        }
        // Exactly the text's ANSI bytes, no terminating zero (the registry may add its own).
        EXPECT_EQ(seen.setBytes, test::ToAnsi(row.expected));
        ASSERT_TRUE(Get(kScratch, "v").has_value());
        EXPECT_EQ(Get(kScratch, "v")->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(Get(kScratch, "v")->text, row.expected);
    }
}

TEST_F(Registry, StoredDataReadsAs) {
    struct Row {
        const char* label;
        DWORD type;
        std::string bytes;  // as stored through the ANSI API; empty type: not stored at all
        std::wstring expected;
    };
    const std::string sjis256 = test::ToAnsi(Repeat(L"あ", 128));
    const Row rows[] = {
        {"missing", REG_NONE, "", L""},
        {"empty", REG_SZ, std::string(1, '\0'), L""},
        {"outer spaces trimmed, inner kept", REG_SZ, std::string("  a  b  ", 9), L"a  b"},
        {"only ASCII spaces trimmed", REG_SZ, test::ToAnsi(L"\u3000a\u3000") + '\0', L"\u3000a\u3000"},
        {"256 bytes", REG_SZ, std::string(256, 'x') + '\0', Repeat(L"x", 256)},
        {"256 bytes without terminator", REG_BINARY, std::string(256, 'x'), Repeat(L"x", 256)},
        {"256 bytes of two-byte characters", REG_SZ, sjis256 + '\0', Repeat(L"あ", 128)},
        {"257 bytes", REG_SZ, std::string(257, 'x') + '\0', L""},
        {"1000 bytes", REG_SZ, std::string(1000, 'x') + '\0', L""},
        {"a two-byte character whose first byte is the 256th", REG_SZ, std::string(255, 'x') + "\x82\xa0" + '\0', L""},
        {"REG_DWORD 0", REG_DWORD, std::string("\0\0\0\0", 4), L"0"},
        {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), L"1"},
        {"REG_DWORD 4294967295", REG_DWORD, std::string("\xff\xff\xff\xff", 4), L"4294967295"},
        {"REG_QWORD 2", REG_QWORD, std::string("\2\0\0\0\0\0\0\0", 8), L"2"},
        {"REG_BINARY bytes as they come", REG_BINARY, "1", L"1"},
        {"REG_MULTI_SZ up to the first zero", REG_MULTI_SZ, std::string("ab\0cd\0\0", 7), L"ab"},
        {"REG_EXPAND_SZ unexpanded", REG_EXPAND_SZ, std::string("%WINDIR%\0", 9), L"%WINDIR%"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::DeleteKey(kScratch);
        if (row.type != REG_NONE) test::Put(kScratch, "v", row.type, row.bytes.data(), static_cast<DWORD>(row.bytes.size()));
        EXPECT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v"), row.expected);
    }
}

TEST_F(Registry, EveryFailureIsNeutralAndClosesTheKey) {
    test::PutText(kScratch, "v", L"stored");
    for (Fail fail : {Fail::Create, Fail::Query, Fail::Set}) {
        SCOPED_TRACE(static_cast<int>(fail));
        seen.fail = fail;
        EXPECT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v"), fail == Fail::Set ? L"stored" : L"");
        EXPECT_EQ(SetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v", L"new"), fail == Fail::Query ? kTrue : kFalse);
        SetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v", L"stored");
    }
    seen.fail = Fail::None;
    // A key that cannot be opened at all.
    const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_EQ(GetRegistryString(bogus, kScratch, "v"), L"");
    EXPECT_EQ(SetRegistryString(bogus, kScratch, "v", L"x"), kFalse);
}

TEST_F(Registry, UnicodeReadShowsWhatTheAnsiReadLoses) {
    const std::wstring stored = L"José\U0001F600";
    test::PutText(kScratch, "v", L"  " + stored + L" ");
    std::wstring unicode;
    ASSERT_TRUE(GetRegistryUnicodeString(HKEY_LOCAL_MACHINE, kScratch, "v", unicode));
    EXPECT_EQ(unicode, stored);
    EXPECT_NE(GetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v"), stored);
    EXPECT_FALSE(GetRegistryUnicodeString(HKEY_LOCAL_MACHINE, kScratch, "missing", unicode));
}

// The byte buffer of a call lies on the stack; once the call has returned, a password's bytes
// must not be left there for anything that reads the memory later.
TEST_F(Registry, PasswordBytesDoNotOutliveTheCall) {
    const std::string secret = "Secret-Pw-7f3a";
    auto leftInBuffer = [&] {
        const BYTE* buffer = seen.buffer;
        return std::search(buffer, buffer + kMaxValueBytes, secret.begin(), secret.end()) != buffer + kMaxValueBytes;
    };
    ASSERT_EQ(SetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v", std::wstring(secret.begin(), secret.end())), kTrue);
    EXPECT_FALSE(leftInBuffer()) << "after writing";
    ASSERT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, kScratch, "v"), std::wstring(secret.begin(), secret.end()));
    EXPECT_FALSE(leftInBuffer()) << "after reading";
}
