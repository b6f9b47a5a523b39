// Registry string access against Wine's real registry, under a scratch key, with the seam
// wrapped around the real calls to record them and to make one of them fail.
#include <gtest/gtest.h>

#include <algorithm>

#include "registry/SharedModule.h"
#include "support.h"

using namespace SharedModule;

namespace {

const char* const kScratch = "SOFTWARE\\QuellinTest";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

enum class Fail { None, Create, Query, Set };

struct Seen {
    Fail fail = Fail::None;
    int opened = 0, closed = 0;
    std::optional<std::string> set;  // the bytes last handed to RegSetValueExA, as REG_SZ
    const BYTE* buffer = nullptr;    // the byte buffer last handed to the registry
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
        seen.set = std::string(reinterpret_cast<const char*>(data), size);
        if (type != REG_SZ) seen.set = "<not REG_SZ>";
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

template <class String>
String Times(const String& unit, int count) {
    String s;
    while (count--) s += unit;
    return s;
}
const std::string x256 = Times<std::string>("x", 256), a128 = Times<std::string>("\x82\xa0", 128);
const std::wstring wx256 = Times<std::wstring>(L"x", 256), wa128 = Times<std::wstring>(L"あ", 128);

}  // namespace

// A text goes in through SetRegistryString, or data of any type through the plain API; then
// GetRegistryString reads it back.
TEST_F(Registry, WhatIsStoredAndReadBack) {
    struct Row {
        const char* label;
        std::optional<std::wstring> text;  // stored by SetRegistryString, else `data` as `type`
        std::optional<std::string> set;    // what the store handed on; nothing: refused
        DWORD type;
        std::string data;
        std::wstring read;
    } const rows[] = {
        {"empty", L"", "", 0, "", L""},
        {"ten ASCII characters, no terminator", L"abcdefghij", "abcdefghij", 0, "", L"abcdefghij"},
        {"outer spaces stored, read trimmed", L"  a  b ", "  a  b ", 0, "", L"a  b"},
        {"only ASCII spaces trimmed", L"\u3000a\u3000", "\x81\x40" "a\x81\x40", 0, "", L"\u3000a\u3000"},
        {"Japanese as Shift-JIS", L"山田太郎", "\x8e\x52\x93\x63\x91\xbe\x98\x59", 0, "", L"山田太郎"},
        {"256 bytes", wx256, x256, 0, "", wx256},
        {"256 bytes of two-byte characters", wa128, a128, 0, "", wa128},
        {"up to U+0000", std::wstring(L"ab\0cd", 5), "ab", 0, "", L"ab"},
        {"257 bytes refused", wx256 + L"x", std::nullopt, 0, "", L""},
        {"a two-byte character across the limit refused", wx256.substr(1) + L"あ", std::nullopt, 0, "", L""},
        {"a letter outside the code page refused", L"José", std::nullopt, 0, "", L""},
        {"an emoji refused", L"pw\U0001F600", std::nullopt, 0, "", L""},
        {"a look-alike of a code page character refused", L"A\u301CB", std::nullopt, 0, "", L""},
        {"missing", std::nullopt, std::nullopt, REG_NONE, "", L""},
        {"256 bytes, unterminated", std::nullopt, std::nullopt, REG_BINARY, x256, wx256},
        {"257 bytes read as empty", std::nullopt, std::nullopt, REG_SZ, x256 + "x" + '\0', L""},
        {"1000 bytes read as empty", std::nullopt, std::nullopt, REG_SZ, Times<std::string>(x256, 4), L""},
        {"a two-byte character from the 256th byte", std::nullopt, std::nullopt, REG_SZ, x256.substr(1) + "\x82\xa0" + '\0', L""},
        {"REG_DWORD 0", std::nullopt, std::nullopt, REG_DWORD, std::string(4, '\0'), L"0"},
        {"REG_DWORD 4294967295", std::nullopt, std::nullopt, REG_DWORD, "\xff\xff\xff\xff", L"4294967295"},
        {"REG_QWORD 2", std::nullopt, std::nullopt, REG_QWORD, std::string("\2\0\0\0\0\0\0\0", 8), L"2"},
        {"REG_MULTI_SZ up to the first zero", std::nullopt, std::nullopt, REG_MULTI_SZ, std::string("ab\0cd\0\0", 7), L"ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::DeleteKey(kScratch);
        seen.set.reset();
        if (row.text) {
            EXPECT_EQ(SetRegistryString(kRoot, kScratch, "v", *row.text), row.set ? kTrue : kFalse);
            EXPECT_EQ(CheckRegistryString(*row.text) == StoreCheck::Ok, row.set.has_value());
            EXPECT_EQ(seen.set, row.set);
        } else if (row.type != REG_NONE) {
            test::Put(kScratch, "v", row.type, row.data);
        }
        EXPECT_EQ(GetRegistryString(kRoot, kScratch, "v"), row.read);
    }
}

TEST_F(Registry, FailuresAreNeutralAndLeaveNothingBehind) {
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

    // The byte buffer lies on the stack: once a call returns, a password must not be left in it.
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
