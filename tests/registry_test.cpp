// Registry string access against Wine's real registry, under a scratch key, with the seams
// wrapped around the real calls to record what they were handed.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "registry/SharedModule.h"
#include "support.h"

using namespace SharedModule;

namespace {

const char* const kScratch = "SOFTWARE\\QuellinTest";

using Extent = std::pair<std::uintptr_t, std::size_t>;  // where memory starts, and its bytes
struct Seen {
    std::optional<std::string> set;  // the bytes last handed to RegSetValueExA, as REG_SZ
    Extent buffer, wiped;            // the byte buffer last handed to the registry, the last wipe
    std::string broken;              // the conversions' broken rules
} seen;

Extent At(const void* p, std::size_t size) { return {reinterpret_cast<std::uintptr_t>(p), size}; }

const RegistryCalls kRecording{
    test::Real().createKey, test::Real().queryValue,
    [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
        seen.buffer = At(data, size);
        seen.set = type != REG_SZ ? "<not REG_SZ>" : !data != !size ? "<a pointer without a count, or a count without one>"
                                                                    : std::string(reinterpret_cast<const char*>(data), size);
        return test::Real().setValue(key, name, type, data, size);
    },
    test::Real().closeKey,
};

// Wine takes conversion flags and default-character arguments that Windows refuses, with
// ERROR_INVALID_FLAGS or ERROR_INVALID_PARAMETER; each call is held to the rules of:
// https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte
// https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-multibytetowidechar
// For UTF-8 (and 54936) the flags are 0 or WC_/MB_ERR_INVALID_CHARS, and WC_ERR_INVALID_CHARS
// is for those two only; for UTF-8 the default character and its report must be NULL. The code
// page is the system's ANSI one, as the README promises.
void Check(UINT page, DWORD flags, DWORD strict, bool defaults) {
    page = page == CP_ACP ? GetACP() : page;
    const bool utf8 = page == CP_UTF8 || page == 54936;
    if (page != GetACP()) seen.broken += "code page " + std::to_string(page) + "; ";
    if (utf8 ? (flags & ~strict) != 0 : strict == WC_ERR_INVALID_CHARS && (flags & strict)) seen.broken += "flags; ";
    if (page == CP_UTF8 && defaults) seen.broken += "default character; ";
}
const TextCalls kCheckedText{
    [](UINT page, DWORD flags, const wchar_t* text, int length, char* bytes, int size, const char* def, BOOL* used) {
        Check(page, flags, WC_ERR_INVALID_CHARS, def || used);
        return SystemTextCalls().toBytes(page, flags, text, length, bytes, size, def, used);
    },
    [](UINT page, DWORD flags, const char* bytes, int size, wchar_t* text, int length) {
        Check(page, flags, MB_ERR_INVALID_CHARS, false);
        return SystemTextCalls().toText(page, flags, bytes, size, text, length);
    },
    [](void* memory, std::size_t size) { seen.wiped = At(memory, size), SystemTextCalls().wipe(memory, size); },
};

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        test::DeleteKey(kScratch);
        seen = {};
        ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, kScratch, key_), ERROR_SUCCESS);
    }
    void TearDown() override { test::DeleteKey(kScratch); }
    SecretText Read(StoredValue& stored) const { return GetRegistryString(key_, "v", stored); }
    ScopedRegistryCalls calls_{kRecording};
    ScopedTextCalls text_{kCheckedText};
    Key key_;
};

std::string Twice(const std::string& s, int times) { return times ? Twice(s + s, times - 1) : s; }
const std::string x256(256, 'x'), a128 = Twice("\x82\xa0", 7);  // 128 times あ in Shift-JIS
const std::wstring wx256(256, L'x'), wa128(128, L'あ');
const std::string e256(256, '\xe9'), a85 = Twice("\xe3\x81\x82", 7).substr(0, 255);  // é in 1252; 85 あ in UTF-8
const std::wstring we256(256, L'é'), wa85(85, L'あ');

}  // namespace

// A text goes in through SetRegistryString, or data of any type through the plain API; then
// GetRegistryString reads it back. Rows for one ANSI code page name it; the others hold in all.
TEST_F(Registry, WhatIsStoredAndReadBack) {
    struct Row {
        UINT codePage;  // 0: every one
        const char* label;
        std::optional<std::wstring> text;  // stored by SetRegistryString, else `data` as `type`
        std::optional<std::string> set;    // what the store handed on; nothing: refused
        DWORD type;
        std::string data;
        std::wstring read;
    } const rows[] = {
        {0, "empty", L"", "", 0, "", L""},
        {0, "ten ASCII characters", L"abcdefghij", "abcdefghij", 0, "", L"abcdefghij"},
        {0, "outer spaces stored, read trimmed", L"  a  b ", "  a  b ", 0, "", L"a  b"},
        {0, "tabs are no spaces", L"\ta\t", "\ta\t", 0, "", L"\ta\t"},
        {0, "256 bytes", wx256, x256, 0, "", wx256},
        {0, "up to U+0000", std::wstring(L"ab\0cd", 5), "ab", 0, "", L"ab"},
        {0, "257 bytes refused", wx256 + L"x", std::nullopt, 0, "", L""},
        {0, "missing", std::nullopt, std::nullopt, REG_NONE, "", L""},
        {0, "a text of any length reads whole", std::nullopt, std::nullopt, REG_SZ, x256 + "x" + '\0', wx256 + L"x"},
        {0, "... up to its first U+0000, of any string type", std::nullopt, std::nullopt, REG_MULTI_SZ, std::string(" a \0b\0\0", 7), L"a"},
        {0, "REG_EXPAND_SZ, not expanded", std::nullopt, std::nullopt, REG_EXPAND_SZ, std::string("%USERNAME%", 11), L"%USERNAME%"},
        {0, "256 bytes of no string type, unterminated", std::nullopt, std::nullopt, REG_BINARY, x256, wx256},
        {0, "... 257 read as empty", std::nullopt, std::nullopt, REG_BINARY, x256 + "x", L""},
        {0, "REG_DWORD 0", std::nullopt, std::nullopt, REG_DWORD, std::string(4, '\0'), L"0"},
        {0, "REG_DWORD 4294967295", std::nullopt, std::nullopt, REG_DWORD, "\xff\xff\xff\xff", L"4294967295"},
        {0, "a REG_DWORD of 2 bytes is no number: its bytes", std::nullopt, std::nullopt, REG_DWORD, std::string("\1\0", 2), L"\1"},
        {0, "... nor one of 8 bytes", std::nullopt, std::nullopt, REG_DWORD, std::string("12\0\0\0\0\0\0", 8), L"12"},
        {0, "... nor a REG_QWORD of 4", std::nullopt, std::nullopt, REG_QWORD, std::string("34\0\0", 4), L"34"},
        {0, "REG_QWORD 4294967297", std::nullopt, std::nullopt, REG_QWORD, std::string("\1\0\0\0\1\0\0\0", 8), L"4294967297"},
        {932, "only ASCII spaces trimmed", L"\u3000a\u3000", "\x81\x40" "a\x81\x40", 0, "", L"\u3000a\u3000"},
        {932, "256 bytes of two-byte characters", wa128, a128, 0, "", wa128},
        {932, "a two-byte character across the limit refused", wx256.substr(1) + L"あ", std::nullopt, 0, "", L""},
        {932, "an emoji refused", L"pw\U0001F600", std::nullopt, 0, "", L""},
        {932, "a look-alike of a code page character refused", L"A\u301CB", std::nullopt, 0, "", L""},
        {932, "stray lead bytes marked, beside a two-byte character", std::nullopt, std::nullopt, REG_BINARY, "\x82 \x82\xa0\x82", L"\uFFFD あ\uFFFD"},
        {1252, "Western letters in their own bytes", L"José Müller", "Jos\xe9 M\xfcller", 0, "", L"José Müller"},
        {1252, "256 of them", we256, e256, 0, "", we256},
        {65001, "Japanese in UTF-8", L"山田 太郎", "\xe5\xb1\xb1\xe7\x94\xb0 \xe5\xa4\xaa\xe9\x83\x8e", 0, "", L"山田 太郎"},
        {65001, "beyond the BMP", L"pw\U0001F600", "pw\xf0\x9f\x98\x80", 0, "", L"pw\U0001F600"},
        {65001, "85 kana are 255 bytes", wa85, a85, 0, "", wa85},
        {65001, "86 kana are 258 bytes, refused", wa85 + L"あ", std::nullopt, 0, "", L""},
        {65001, "a cut sequence marked", std::nullopt, std::nullopt, REG_BINARY, "\xe3\x81" "a", L"\uFFFD\uFFFDa"},
        {65001, "stray bytes beside characters of two, three and four bytes", std::nullopt, std::nullopt, REG_BINARY,
         "\x80\xc3\xa9\x80\xe3\x81\x82\xbf\xf0\x9f\x98\x80\x80", L"\uFFFDé\uFFFDあ\uFFFD\U0001F600\uFFFD"},
    };
    for (const Row& row : rows) {
        if (row.codePage && row.codePage != GetACP()) continue;
        SCOPED_TRACE(row.label);
        RegDeleteValueA(key_.handle, "v");
        seen.set.reset();
        if (row.text) {
            EXPECT_EQ(SetRegistryString(key_, "v", test::Secret(*row.text)), row.set ? kTrue : kFalse);
            // As Microsoft's RegSetValueExA page asks: a text with its terminating null, counted.
            EXPECT_EQ(seen.set, row.set && !row.set->empty() ? std::optional(*row.set + '\0') : row.set);
            // The byte buffer may hold a password: all that the registry saw of it is wiped
            // before the call returns.
            const auto [at, size] = seen.buffer;
            EXPECT_TRUE(!size || (seen.wiped.first <= at && at + size <= seen.wiped.first + seen.wiped.second)) << "not wiped";
            seen.buffer = seen.wiped = {};
        } else if (row.type != REG_NONE) {
            test::Put(kScratch, "v", row.type, row.data);
        }
        StoredValue stored;
        EXPECT_EQ(test::Wide(Read(stored)), row.read);
        EXPECT_EQ(stored.status, (row.text ? !row.set : row.type == REG_NONE) ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
        EXPECT_EQ(seen.broken, "");
        seen.broken.clear();
    }
}

// A short text lives inside its string object, where no allocator wipes it, and a number is
// spelt out in stack memory first: a password trimmed (as every text is, read or typed), or read
// as a REG_DWORD, leaves no copy in the stack memory the call used; one that grew out of its
// object (as a typed password does) leaves none in the object once it goes. Each is made below
// 4 KB of stack, into memory that is not the stack, with nothing called after it until the stack
// below the 4 KB is searched, so that nothing else writes where the call was. Returns where that is.
[[gnu::noinline]] static std::uintptr_t Deep(SecretText* into, SecretText (*make)()) {
    volatile char room[4096];
    room[0] = 0;
    new (into) SecretText(make());
    return reinterpret_cast<std::uintptr_t>(room) + room[0];
}
TEST_F(Registry, SecretsLeaveNoCopyOnTheStack) {
    static const Key* key = nullptr;
    key = &key_;
    test::Put(kScratch, "v", REG_DWORD, "HI\xf0P");  // 1357924680
    const std::tuple<const char*, SecretText (*)(), const wchar_t*, const wchar_t*> rows[] = {
        {"a short text trimmed", [] { static const SecretText text = test::Secret(L" Zq9-9qZ "); return Trim(text); }, L"Zq9-9qZ", L"-9qZ"},
        {"a number read", [] { static StoredValue stored; return GetRegistryString(*key, "v", stored); }, L"1357924680", L"57924680"},
        {"a short text that grew", [] { SecretText text(L"Zq9-9qZ"); text += L'!'; return text; }, L"Zq9-9qZ!", L"9qZ"},
    };
    for (const auto& [label, make, made, mark] : rows) {
        SCOPED_TRACE(label);
        alignas(SecretText) static unsigned char slot[sizeof(SecretText)];
        auto* const secret = reinterpret_cast<SecretText*>(slot);
        const std::uintptr_t below = Deep(secret, make), bytes = wcslen(mark) * 2;
        int copies = 0;
        for (std::uintptr_t p = below - 16384; p < below; ++p) copies += memcmp(reinterpret_cast<const void*>(p), mark, bytes) == 0;
        EXPECT_EQ(test::Wide(*secret), made);
        secret->~SecretText();
        for (size_t i = 0; i + bytes <= sizeof slot; ++i) copies += memcmp(slot + i, mark, bytes) == 0;
        EXPECT_EQ(copies, 0);
    }
}
