// Registry string access against Wine's real registry, under a scratch key, with the seam
// wrapped around the real calls to record them and to make one of them fail.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "registry/SharedModule.h"

using namespace SharedModule;

namespace {

const char* const kScratch = "SOFTWARE\\QuellinTest";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

enum class Fail { None, Create, Query, Set };

struct Seen {
    Fail fail = Fail::None;
    int opened = 0, closed = 0, sets = 0;
    std::string setBytes;
    const BYTE* buffer = nullptr;  // the byte buffer last handed to the registry
} seen;

const RegistryCalls& Real() { return SystemRegistryCalls(); }

const RegistryCalls kRecording{
    [](HKEY root, const char* path, HKEY* key) -> LSTATUS {
        const LSTATUS status = seen.fail == Fail::Create ? ERROR_ACCESS_DENIED : Real().createKey(root, path, key);
        seen.opened += status == ERROR_SUCCESS;
        return status;
    },
    [](HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) -> LSTATUS {
        seen.buffer = data;
        return seen.fail == Fail::Query ? ERROR_ACCESS_DENIED : Real().queryValue(key, name, type, data, size);
    },
    [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
        seen.buffer = data;
        ++seen.sets;
        seen.setBytes.assign(reinterpret_cast<const char*>(data), size);
        return seen.fail == Fail::Set ? ERROR_ACCESS_DENIED : Real().setValue(key, name, type, data, size);
    },
    [](HKEY key) -> LSTATUS {
        ++seen.closed;
        return RegCloseKey(key);
    },
    Real().queryValueW,
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

template <class Char>
std::basic_string<Char> Times(const Char* unit, int count) {
    std::basic_string<Char> s;
    while (count--) s += unit;
    return s;
}

}  // namespace

TEST_F(Registry, WhatReachesTheRegistry) {
    struct Row {
        const char* label;
        std::wstring text;
        std::optional<std::string> bytes;  // handed to the registry; none: refused, nothing written
        std::wstring stored;
    } const rows[] = {
        {"empty", L"", "", L""},
        {"ten ASCII characters, no terminator", L"abcdefghij", "abcdefghij", L"abcdefghij"},
        {"spaces are the caller's business", L" a b ", " a b ", L" a b "},
        {"Japanese as Shift-JIS", L"山田　太郎", "\x8e\x52\x93\x63\x81\x40\x91\xbe\x98\x59", L"山田　太郎"},
        {"256 bytes", Times(L"x", 256), Times("x", 256), Times(L"x", 256)},
        {"256 bytes of two-byte characters", Times(L"あ", 128), Times("\x82\xa0", 128), Times(L"あ", 128)},
        {"up to U+0000", std::wstring(L"ab\0cd", 5), "ab", L"ab"},
        {"257 bytes", Times(L"x", 257), std::nullopt, L""},
        {"1000 bytes", Times(L"x", 1000), std::nullopt, L""},
        {"a two-byte character across the limit", Times(L"x", 255) + L"あ", std::nullopt, L""},
        {"a letter outside the code page", L"José", std::nullopt, L""},
        {"an emoji", L"pw\U0001F600", std::nullopt, L""},
        {"a look-alike of a code page character", L"A\u301CB", std::nullopt, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        seen.sets = 0;
        test::DeleteKey(kScratch);
        EXPECT_EQ(SetRegistryString(kRoot, kScratch, "v", row.text), row.bytes ? kTrue : kFalse);
        EXPECT_EQ(CheckRegistryString(row.text) == StoreCheck::Ok, row.bytes.has_value());
        EXPECT_EQ(seen.sets, row.bytes ? 1 : 0);
        if (row.bytes) {
            EXPECT_EQ(seen.setBytes, *row.bytes);
        }
        const auto stored = test::Get(kScratch, "v");
        EXPECT_EQ(stored, row.bytes ? std::optional(test::Stored{REG_SZ, row.stored}) : std::nullopt);
    }
}

TEST_F(Registry, StoredDataReadsAs) {
    struct Row {
        const char* label;
        DWORD type;  // REG_NONE: no value at all
        std::string bytes;
        std::wstring text;
    } const rows[] = {
        {"missing", REG_NONE, "", L""},
        {"empty", REG_SZ, std::string(1, '\0'), L""},
        {"outer spaces trimmed, inner kept", REG_SZ, std::string("  a  b  ", 9), L"a  b"},
        {"only ASCII spaces trimmed", REG_SZ, std::string("\x81\x40" "a\x81\x40", 6), L"\u3000a\u3000"},
        {"256 bytes", REG_SZ, Times("x", 256) + '\0', Times(L"x", 256)},
        {"256 bytes, unterminated", REG_BINARY, Times("x", 256), Times(L"x", 256)},
        {"256 bytes of two-byte characters", REG_SZ, Times("\x82\xa0", 128) + '\0', Times(L"あ", 128)},
        {"257 bytes", REG_SZ, Times("x", 257) + '\0', L""},
        {"1000 bytes", REG_SZ, Times("x", 1000) + '\0', L""},
        {"a two-byte character from the 256th byte", REG_SZ, Times("x", 255) + "\x82\xa0" + '\0', L""},
        {"REG_DWORD 0", REG_DWORD, std::string(4, '\0'), L"0"},
        {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), L"1"},
        {"REG_DWORD 4294967295", REG_DWORD, "\xff\xff\xff\xff", L"4294967295"},
        {"REG_QWORD 2", REG_QWORD, std::string("\2\0\0\0\0\0\0\0", 8), L"2"},
        {"REG_BINARY as it comes", REG_BINARY, "1", L"1"},
        {"REG_MULTI_SZ up to the first zero", REG_MULTI_SZ, std::string("ab\0cd\0\0", 7), L"ab"},
        {"REG_EXPAND_SZ unexpanded", REG_EXPAND_SZ, std::string("%WINDIR%\0", 9), L"%WINDIR%"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::DeleteKey(kScratch);
        if (row.type != REG_NONE) test::Put(kScratch, "v", row.type, row.bytes);
        EXPECT_EQ(GetRegistryString(kRoot, kScratch, "v"), row.text);
    }
}

TEST_F(Registry, EveryFailureIsNeutralAndClosesTheKey) {
    test::PutText(kScratch, "v", L"stored");
    for (Fail fail : {Fail::Create, Fail::Query, Fail::Set}) {
        SCOPED_TRACE(static_cast<int>(fail));
        seen.fail = fail;
        EXPECT_EQ(GetRegistryString(kRoot, kScratch, "v"), fail == Fail::Set ? L"stored" : L"");
        EXPECT_EQ(SetRegistryString(kRoot, kScratch, "v", L"stored"), fail == Fail::Query ? kTrue : kFalse);
    }
    seen.fail = Fail::None;
    const HKEY unopenable = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_EQ(GetRegistryString(unopenable, kScratch, "v"), L"");
    EXPECT_EQ(SetRegistryString(unopenable, kScratch, "v", L"x"), kFalse);
}

TEST_F(Registry, UnicodeReadShowsWhatTheAnsiReadLoses) {
    test::PutText(kScratch, "v", L"  José\U0001F600 ");
    std::wstring unicode;
    ASSERT_TRUE(GetRegistryUnicodeString(kRoot, kScratch, "v", unicode));
    EXPECT_EQ(unicode, L"José\U0001F600");
    EXPECT_NE(GetRegistryString(kRoot, kScratch, "v"), unicode);
    EXPECT_FALSE(GetRegistryUnicodeString(kRoot, kScratch, "missing", unicode));
}

// The byte buffer lies on the stack: once a call returns, a password must not be left in it.
TEST_F(Registry, PasswordBytesDoNotOutliveTheCall) {
    const std::string secret = "Secret-Pw-7f3a";
    auto leftInBuffer = [&] {
        const BYTE* end = seen.buffer + kMaxValueBytes;
        return std::search(seen.buffer, end, secret.begin(), secret.end()) != end;
    };
    ASSERT_EQ(SetRegistryString(kRoot, kScratch, "v", std::wstring(secret.begin(), secret.end())), kTrue);
    EXPECT_FALSE(leftInBuffer()) << "after writing";
    ASSERT_EQ(GetRegistryString(kRoot, kScratch, "v"), std::wstring(secret.begin(), secret.end()));
    EXPECT_FALSE(leftInBuffer()) << "after reading";
}
