#include "registry/SharedModule.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace SharedModule {
namespace {

constexpr RegistryCalls kSystemCalls{
    [](HKEY root, const char* path, REGSAM access, HKEY* key) {
        return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key, nullptr);
    },
    [](HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) {
        return RegQueryValueExW(key, name, nullptr, type, data, size);
    },
    [](HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
        return RegSetValueExA(key, name, 0, type, data, size);
    },
    [](HKEY key) { return RegCloseKey(key); },
};
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

using SecretAnsi = Secret<char>;

// The byte buffer of one write. It may hold a password, so it is wiped before it goes.
struct ValueBuffer {
    std::array<BYTE, kMaxValueBytes + 1> bytes{};
    ValueBuffer() = default;
    ValueBuffer(const ValueBuffer&) = delete;
    ValueBuffer& operator=(const ValueBuffer&) = delete;
    ~ValueBuffer() { Text().wipe(bytes.data(), bytes.size()); }
};

// Copies the first `count` bytes of the encoded text into the buffer.
void StringToBytes(ValueBuffer& buffer, const SecretAnsi& encoded, std::int16_t count) {
    for (int i = 0; i < count; ++i) buffer.bytes[i] = static_cast<BYTE>(encoded[i]);
}

// The buffer's bytes from the start up to the first zero byte, at most `limit` of them.
SecretAnsi BytesToString(const ValueBuffer& buffer, std::int16_t limit) {
    const auto begin = buffer.bytes.begin();
    const auto end = std::find(begin, begin + limit, BYTE{0});
    return SecretAnsi(begin, end);
}

// Microsoft's RegSetValueExA page asks a REG_SZ count to include the terminating null, and
// allows no data (a null pointer with a count of 0). So a text goes with the zero byte after
// it, which the buffer always has, and an empty text as no data: a value of zero bytes.
Truth WriteRegistryBytes(const Key& key, const std::string& valueName, const ValueBuffer& buffer, DWORD length) {
    const BYTE* const data = length ? buffer.bytes.data() : nullptr;
    const LSTATUS status = Calls().setValue(key.handle, valueName.c_str(), REG_SZ, data, length ? length + 1 : 0);
    return status == ERROR_SUCCESS ? kTrue : kFalse;
}

// Text crosses into the registry in the system's ANSI code page, whichever it is: 932 on the
// Japanese Windows the dialog is written for, 1252 in Western Europe, or UTF-8 itself.
constexpr UINT kAnsi = CP_ACP;

// Decodes the bytes in the ANSI code page strictly, so that a byte the code page cannot decode
// reads as U+FFFD rather than as whatever stand-in the conversion picks, which may be a real
// character that OK would then store (Wine gives U+30FB for a stray lead byte in 932).
SecretText DecodeAnsi(const char* bytes, std::size_t size) {
    const DWORD flags = MB_ERR_INVALID_CHARS;
    SecretText text;
    const auto decode = [&](std::size_t at, std::size_t count) {
        const int length = Text().toText(kAnsi, flags, bytes + at, static_cast<int>(count), nullptr, 0);
        if (length <= 0) return false;
        const std::size_t end = text.size();
        text.resize(end + length);
        Text().toText(kAnsi, flags, bytes + at, static_cast<int>(count), text.data() + end, length);
        return true;
    };
    if (size == 0 || decode(0, size)) return text;
    // Then one character at a time: the shortest run of bytes that decodes (at most four, the
    // longest UTF-8 sequence), or U+FFFD for a byte that starts none.
    for (std::size_t at = 0; at < size;) {
        std::size_t count = 1;
        while (count <= 4 && at + count <= size && !decode(at, count)) ++count;
        if (count > 4 || at + count > size) {
            text += L'\uFFFD';
            count = 1;
        }
        at += count;
    }
    return text;
}

// Encodes the text (up to any U+0000) in the ANSI code page into `encoded`, or says why not.
// The conversion itself reports a lossy result: best-fit look-alikes are switched off, so any
// character without an exact counterpart becomes the default character and is flagged.
StoreCheck EncodeAnsi(const SecretText& value, SecretAnsi& encoded) {
    encoded.clear();
    const int length = static_cast<int>(std::min(value.find(L'\0'), value.size()));
    if (length == 0) return StoreCheck::Ok;
    // For UTF-8, Windows takes no flag but WC_ERR_INVALID_CHARS, which no other code page takes,
    // and no default character or report of it (learn.microsoft.com, "WideCharToMultiByte
    // function"); there a lone surrogate is the only thing that cannot be carried.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* report = utf8 ? nullptr : &lossy;
    const int size = Text().toBytes(kAnsi, flags, value.data(), length, nullptr, 0, nullptr, report);
    if (size <= 0 || lossy) return StoreCheck::NotRepresentable;
    if (size > kMaxValueBytes) return StoreCheck::TooLong;
    encoded.resize(size);
    Text().toBytes(kAnsi, flags, value.data(), length, encoded.data(), size, nullptr, nullptr);
    return StoreCheck::Ok;
}

SecretText Decimal(std::uint64_t number) {
    wchar_t digits[20];
    wchar_t* first = std::end(digits);
    do *--first = static_cast<wchar_t>(L'0' + number % 10);
    while (number /= 10);
    SecretText text(first, std::end(digits));
    SecureZeroMemory(digits, sizeof digits);  // the number may be a password
    return text;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The value's type and data, read through the Unicode API so that a text comes back exactly,
// whatever the code page. The value may grow between asking its size and reading it; a few
// tries settle that, and when they do not, the read fails rather than pass off an unfilled
// buffer as the data.
StoredValue ReadStoredValue(const Key& key, const std::string& valueName) {
    StoredValue value;
    const std::wstring name(valueName.begin(), valueName.end());  // the names are ASCII
    DWORD size = 0;
    value.status = Calls().queryValue(key.handle, name.c_str(), &value.type, nullptr, &size);
    for (int attempt = 0; value.status == ERROR_SUCCESS; ++attempt) {
        if (attempt == 4) {
            value.status = ERROR_MORE_DATA;
            break;
        }
        value.data.assign(size, 0);
        // Never a null buffer, even for no bytes: given none, Windows answers with the size
        // alone and success, and a value that has grown from empty would read as zero bytes.
        BYTE none = 0;
        value.status = Calls().queryValue(key.handle, name.c_str(), &value.type, size ? value.data.data() : &none, &size);
        if (value.status != ERROR_MORE_DATA) break;
        value.status = ERROR_SUCCESS;  // `size` now says how much it holds
    }
    if (value.status == ERROR_SUCCESS) {
        value.data.resize(size);
    } else {
        value.data.clear();
        value.type = REG_NONE;
    }
    return value;
}

// The text a value shows as (see GetRegistryString).
SecretText TextOf(const StoredValue& value) {
    const SecretBytes& data = value.data;
    if (value.status != ERROR_SUCCESS) return {};
    if (IsStringType(value.type)) {
        SecretText text(data.size() / sizeof(wchar_t), L'\0');
        memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        text.resize(std::min(text.find(L'\0'), text.size()));
        return Trim(text);
    }
    if ((value.type == REG_DWORD && data.size() == 4) || (value.type == REG_QWORD && data.size() == 8)) {
        std::uint64_t number = 0;
        memcpy(&number, data.data(), data.size());
        return Decimal(number);
    }
    // Bytes of any other type: up to the first zero byte, and no text at all when there are more
    // of them than a value may hold.
    const auto end = std::find(data.begin(), data.end(), BYTE{0});
    if (end - data.begin() > kMaxValueBytes) return {};
    return Trim(DecodeAnsi(reinterpret_cast<const char*>(data.data()), end - data.begin()));
}

}  // namespace

const RegistryCalls& SystemRegistryCalls() { return kSystemCalls; }
const TextCalls& SystemTextCalls() { return kSystemText; }

template <>
std::atomic<const RegistryCalls*>& Current() { return g_calls; }
template <>
std::atomic<const TextCalls*>& Current() { return g_text; }

SecretText Trim(const SecretText& text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == SecretText::npos) return {};
    // Made in place: substr would make a plain string first, whose short text (kept inside the
    // object) nobody wipes.
    return SecretText(text, first, text.find_last_not_of(L' ') + 1 - first);
}

Key::~Key() {
    if (handle) Calls().closeKey(handle);
}

LSTATUS OpenKey(HKEY root, const std::string& keyPath, Key& key) {
    // MAXIMUM_ALLOWED asks for whatever access the caller is granted (Microsoft's ACCESS_MASK
    // page): a key that may only be read still opens, and reads.
    return Calls().createKey(root, keyPath.c_str(), MAXIMUM_ALLOWED | KEY_WOW64_64KEY, &key.handle);
}

SecretText GetRegistryString(const Key& key, const std::string& valueName, StoredValue& stored) {
    stored = ReadStoredValue(key, valueName);
    return TextOf(stored);
}

StoreCheck CheckRegistryString(const SecretText& text) {
    SecretAnsi encoded;
    return EncodeAnsi(text, encoded);
}

Truth SetRegistryString(const Key& key, const std::string& valueName, const SecretText& value) {
    ValueBuffer buffer;
    SecretAnsi encoded;
    if (EncodeAnsi(value, encoded) != StoreCheck::Ok) return kFalse;
    StringToBytes(buffer, encoded, static_cast<std::int16_t>(encoded.size()));
    const DWORD storedLength = static_cast<DWORD>(BytesToString(buffer, kMaxValueBytes).size());
    return WriteRegistryBytes(key, valueName, buffer, storedLength);
}

StoredValue AsWritten(const SecretText& value) {
    StoredValue written;
    written.status = ERROR_SUCCESS;
    written.type = REG_SZ;
    const std::size_t length = std::min(value.find(L'\0'), value.size());
    if (length) {
        written.data.resize((length + 1) * sizeof(wchar_t));  // the terminator stays zero
        memcpy(written.data.data(), value.data(), length * sizeof(wchar_t));
    }
    return written;
}

}  // namespace SharedModule
