#include "registry/SharedModule.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace SharedModule {
namespace {

LSTATUS CreateKey64(HKEY root, const char* path, HKEY* key) {
    // RegCreateKeyA opens with MAXIMUM_ALLOWED; the Ex form adds the explicit registry view.
    return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           MAXIMUM_ALLOWED | KEY_WOW64_64KEY, nullptr, key, nullptr);
}

LSTATUS QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExA(key, name, nullptr, type, data, size);
}

LSTATUS SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExA(key, name, 0, type, data, size);
}

LSTATUS QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExW(key, name, nullptr, type, data, size);
}

LSTATUS CloseKey(HKEY key) { return RegCloseKey(key); }

constexpr RegistryCalls kSystemCalls{CreateKey64, QueryValue, SetValue, CloseKey, QueryValueW};
std::atomic<const RegistryCalls*> g_calls{&kSystemCalls};

const RegistryCalls& Calls() { return *g_calls.load(); }

constexpr TextCalls kSystemText{
    [](UINT codePage, DWORD flags, const wchar_t* text, int length, char* bytes, int size,
       const char* defaultChar, BOOL* usedDefaultChar) {
        return WideCharToMultiByte(codePage, flags, text, length, bytes, size, defaultChar, usedDefaultChar);
    },
    [](UINT codePage, DWORD flags, const char* bytes, int size, wchar_t* text, int length) {
        return MultiByteToWideChar(codePage, flags, bytes, size, text, length);
    },
    [](void* memory, std::size_t size) { SecureZeroMemory(memory, size); },
};
std::atomic<const TextCalls*> g_text{&kSystemText};

const TextCalls& Text() { return *g_text.load(); }

// The byte buffer of one call. It may hold a password, so it is wiped before it goes.
struct ValueBuffer {
    std::array<BYTE, kMaxValueBytes + 1> bytes{};
    ValueBuffer() = default;
    ValueBuffer(const ValueBuffer&) = delete;
    ValueBuffer& operator=(const ValueBuffer&) = delete;
    ~ValueBuffer() { Text().wipe(bytes.data(), bytes.size()); }
};

// Copies the first `count` bytes of the encoded text into the buffer.
void StringToBytes(ValueBuffer& buffer, const std::string& encoded, std::int16_t count) {
    for (int i = 0; i < count; ++i) buffer.bytes[i] = static_cast<BYTE>(encoded[i]);
}

// The buffer's bytes from the start up to the first zero byte, at most `limit` of them.
std::string BytesToString(const ValueBuffer& buffer, std::int16_t limit) {
    const auto begin = buffer.bytes.begin();
    const auto end = std::find(begin, begin + limit, BYTE{0});
    return std::string(begin, end);
}

Truth WriteRegistryBytes(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const ValueBuffer& buffer, DWORD count) {
    HKEY key = nullptr;
    if (Calls().createKey(root, keyPath.c_str(), &key) != ERROR_SUCCESS) return kFalse;
    const LSTATUS status =
        Calls().setValue(key, valueName.c_str(), REG_SZ, buffer.bytes.data(), count);
    Calls().closeKey(key);
    return status == ERROR_SUCCESS ? kTrue : kFalse;
}

// Text crosses into the registry in the system's ANSI code page, whichever it is: 932 on the
// Japanese Windows the dialog is written for, 1252 in Western Europe, or UTF-8 itself.
constexpr UINT kAnsi = CP_ACP;

void TrimInPlace(std::wstring& text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(L' ') + 1);
    text.erase(0, first);
}

// Decodes the bytes in the ANSI code page strictly, so that a byte the code page cannot decode
// reads as U+FFFD rather than as whatever stand-in the conversion picks, which may be a real
// character that OK would then store (Wine gives U+30FB for a stray lead byte in 932).
std::wstring DecodeAnsi(const std::string& bytes) {
    const DWORD flags = MB_ERR_INVALID_CHARS;
    std::wstring text;
    // Never more UTF-16 units than bytes: the text never moves, so it leaves no copy of a
    // password behind.
    text.reserve(bytes.size());
    const auto decode = [&](std::size_t at, std::size_t count) {
        const char* first = bytes.data() + at;
        const int size = static_cast<int>(count);
        const int length = Text().toText(kAnsi, flags, first, size, nullptr, 0);
        if (length <= 0) return false;
        const std::size_t end = text.size();
        text.resize(end + length);
        Text().toText(kAnsi, flags, first, size, text.data() + end, length);
        return true;
    };
    if (bytes.empty() || decode(0, bytes.size())) return text;
    // Then one character at a time: the shortest run of bytes that decodes (at most four, the
    // longest UTF-8 sequence), or U+FFFD for a byte that starts none.
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t count = 1;
        while (count <= 4 && at + count <= bytes.size() && !decode(at, count)) ++count;
        if (count > 4 || at + count > bytes.size()) {
            text += L'\uFFFD';
            count = 1;
        }
        at += count;
    }
    return text;
}

std::wstring CutAtNul(const std::wstring& text) { return text.substr(0, text.find(L'\0')); }

// Encodes the text (up to any U+0000) in the ANSI code page into `encoded`, or says why not.
// The conversion itself reports a lossy result: best-fit look-alikes are switched off, so any
// character without an exact counterpart becomes the default character and is flagged.
StoreCheck EncodeAnsi(const std::wstring& value, std::string& encoded) {
    encoded.clear();
    std::wstring text = CutAtNul(value);
    const int length = static_cast<int>(text.size());
    if (length == 0) return StoreCheck::Ok;
    // For UTF-8, Windows takes no flag but WC_ERR_INVALID_CHARS, which no other code page takes,
    // and no default character or report of it (learn.microsoft.com, "WideCharToMultiByte
    // function"); there a lone surrogate is the only thing that cannot be carried.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* report = utf8 ? nullptr : &lossy;
    StoreCheck result = StoreCheck::Ok;
    const int size = Text().toBytes(kAnsi, flags, text.data(), length, nullptr, 0, nullptr, report);
    if (size <= 0 || lossy) {
        result = StoreCheck::NotRepresentable;
    } else if (size > kMaxValueBytes) {
        result = StoreCheck::TooLong;
    } else {
        encoded.resize(size);
        Text().toBytes(kAnsi, flags, text.data(), length, encoded.data(), size, nullptr, nullptr);
    }
    Wipe(text);
    return result;
}

std::wstring Decimal(std::uint64_t number) {
    wchar_t digits[20];
    wchar_t* first = std::end(digits);
    do *--first = static_cast<wchar_t>(L'0' + number % 10);
    while (number /= 10);
    return std::wstring(first, std::end(digits));
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

const RegistryCalls& SystemRegistryCalls() { return kSystemCalls; }

ScopedRegistryCalls::ScopedRegistryCalls(const RegistryCalls& calls)
    : previous_(g_calls.exchange(&calls)) {}

ScopedRegistryCalls::~ScopedRegistryCalls() { g_calls.store(previous_); }

const TextCalls& SystemTextCalls() { return kSystemText; }

ScopedTextCalls::ScopedTextCalls(const TextCalls& calls) : previous_(g_text.exchange(&calls)) {}

ScopedTextCalls::~ScopedTextCalls() { g_text.store(previous_); }

std::wstring Trim(const std::wstring& text) {
    std::wstring trimmed = text;
    TrimInPlace(trimmed);
    return trimmed;
}

std::wstring GetRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName) {
    ValueBuffer buffer;
    HKEY key = nullptr;
    if (Calls().createKey(root, keyPath.c_str(), &key) != ERROR_SUCCESS) return {};
    DWORD type = REG_SZ;
    // Offer the whole buffer, not one byte less: the ANSI query counts a terminating zero even
    // when the text is exactly kMaxValueBytes long, and such a text must still read back.
    DWORD size = static_cast<DWORD>(buffer.bytes.size());
    const LSTATUS status = Calls().queryValue(key, valueName.c_str(), &type, buffer.bytes.data(), &size);
    Calls().closeKey(key);
    if (status != ERROR_SUCCESS) return {};

    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, buffer.bytes.data(), sizeof number);
        return Decimal(number);
    }
    if (type == REG_QWORD && size == sizeof(std::uint64_t)) {
        std::uint64_t number = 0;
        memcpy(&number, buffer.bytes.data(), sizeof number);
        return Decimal(number);
    }
    // A full buffer is fine only when its last slot is the terminator.
    if (size > kMaxValueBytes && buffer.bytes[kMaxValueBytes] != 0) return {};

    std::string bytes = BytesToString(buffer, static_cast<std::int16_t>(std::min<DWORD>(size, kMaxValueBytes)));
    std::wstring text = DecodeAnsi(bytes);
    Wipe(bytes);
    TrimInPlace(text);
    return text;
}

StoredValue ReadStoredValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    StoredValue value;
    HKEY key = nullptr;
    value.status = Calls().createKey(root, keyPath.c_str(), &key);
    if (value.status != ERROR_SUCCESS) return value;
    const std::wstring name = DecodeAnsi(valueName);
    DWORD size = 0;
    value.status = Calls().queryValueW(key, name.c_str(), &value.type, nullptr, &size);
    // The value may grow between asking its size and reading it; a few tries settle that, and
    // when they do not, the read fails rather than pass off an unfilled buffer as the data.
    for (int attempt = 0; value.status == ERROR_SUCCESS; ++attempt) {
        if (attempt == 4) {
            value.status = ERROR_MORE_DATA;
            break;
        }
        Wipe(value.data);
        value.data.assign(size, 0);
        value.status = Calls().queryValueW(key, name.c_str(), &value.type, value.data.data(), &size);
        if (value.status != ERROR_MORE_DATA) break;
        value.status = ERROR_SUCCESS;  // `size` now says how much it holds
    }
    Calls().closeKey(key);
    if (value.status == ERROR_SUCCESS) {
        value.data.resize(size);
    } else {
        Wipe(value.data);
        value.data.clear();
        value.type = REG_NONE;
    }
    return value;
}

bool GetRegistryUnicodeString(HKEY root, const std::string& keyPath, const std::string& valueName,
                              std::wstring& text) {
    text.clear();
    const StoredValue value = ReadStoredValue(root, keyPath, valueName);
    if (value.status != ERROR_SUCCESS || !IsStringType(value.type)) return false;
    text.resize(value.data.size() / sizeof(wchar_t));
    memcpy(text.data(), value.data.data(), text.size() * sizeof(wchar_t));
    text.resize(std::min(text.find(L'\0'), text.size()));
    return true;
}

StoreCheck CheckRegistryString(const std::wstring& text) {
    std::string encoded;
    const StoreCheck check = EncodeAnsi(text, encoded);
    Wipe(encoded);
    return check;
}

Truth SetRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName,
                        const std::wstring& value) {
    ValueBuffer buffer;
    std::string encoded;
    const StoreCheck check = EncodeAnsi(value, encoded);
    if (check != StoreCheck::Ok) return kFalse;
    StringToBytes(buffer, encoded, static_cast<std::int16_t>(encoded.size()));
    Wipe(encoded);
    std::string stored = BytesToString(buffer, kMaxValueBytes);
    const DWORD storedLength = static_cast<DWORD>(stored.size());
    Wipe(stored);
    return WriteRegistryBytes(root, keyPath, valueName, buffer, storedLength);
}

}  // namespace SharedModule
