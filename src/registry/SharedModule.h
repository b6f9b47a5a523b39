// Registry string access: the program's only contact with the registry.
//
// Each call opens (or creates) its key, does one read or one write and closes the key again.
// Text crosses into the registry as bytes in the system ANSI code page through a fixed buffer,
// and every failure collapses into an empty string or a false result.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SharedModule {

// Results of the write functions: -1 for true, 0 for false.
using Truth = std::int16_t;
constexpr Truth kTrue = -1;
constexpr Truth kFalse = 0;

// The largest text, in ANSI bytes, that a value may hold: the buffer has one more slot, which
// stays zero so that a read always finds the end of its text.
constexpr int kMaxValueBytes = 256;

// The registry calls, as one table so that tests can make any of them fail on demand. The
// production table opens keys in the 64-bit view, so that even a 32-bit build edits the key
// that the logon service reads and not its WOW64 copy.
struct RegistryCalls {
    // Opens the key, creating it when missing, with the access the caller is granted
    // (the semantics of RegCreateKeyA).
    LSTATUS (*createKey)(HKEY root, const char* path, HKEY* key);
    LSTATUS (*queryValue)(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size);
    LSTATUS (*setValue)(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size);
    LSTATUS (*closeKey)(HKEY key);
    // The Unicode query, used only to find out whether the ANSI read lost anything.
    LSTATUS (*queryValueW)(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size);
};

const RegistryCalls& SystemRegistryCalls();

// Replaces the table for the current scope; tests only.
class ScopedRegistryCalls {
public:
    explicit ScopedRegistryCalls(const RegistryCalls& calls);
    ~ScopedRegistryCalls();
    ScopedRegistryCalls(const ScopedRegistryCalls&) = delete;
    ScopedRegistryCalls& operator=(const ScopedRegistryCalls&) = delete;

private:
    const RegistryCalls* previous_;
};

// How text turns into the registry's bytes and back, and how the byte buffer is wiped: as one
// table, so that tests can check every conversion against the rules Windows documents for it,
// which Wine does not enforce, and see the buffer wiped while it still exists. The production
// table calls WideCharToMultiByte, MultiByteToWideChar and SecureZeroMemory.
struct TextCalls {
    int (*toBytes)(UINT codePage, DWORD flags, const wchar_t* text, int length, char* bytes, int size,
                   const char* defaultChar, BOOL* usedDefaultChar);
    int (*toText)(UINT codePage, DWORD flags, const char* bytes, int size, wchar_t* text, int length);
    void (*wipe)(void* memory, std::size_t size);
};

const TextCalls& SystemTextCalls();

// Replaces the table for the current scope; tests only.
class ScopedTextCalls {
public:
    explicit ScopedTextCalls(const TextCalls& calls);
    ~ScopedTextCalls();
    ScopedTextCalls(const ScopedTextCalls&) = delete;
    ScopedTextCalls& operator=(const ScopedTextCalls&) = delete;

private:
    const TextCalls* previous_;
};

// Removes leading and trailing U+0020 spaces; other white space is content.
std::wstring Trim(const std::wstring& text);

// Zeroes a string's whole allocation (not just its length) in a way the compiler keeps.
template <class String>
void Wipe(String& s) {
    SecureZeroMemory(s.data(), s.capacity() * sizeof(s[0]));
}

// Reads one value as trimmed text; empty when the key cannot be opened, the value is missing
// or its data is longer than kMaxValueBytes. A REG_DWORD of 4 bytes or a REG_QWORD of 8 reads
// as its decimal number, so "0" stays "0"; of another length it is no number, and like other
// types is taken byte for byte, up to the first zero byte. A byte that the code page cannot
// decode (a lead byte without its trail byte, say) reads as U+FFFD, so that the text neither
// gains a look-alike nor loses a character unseen.
std::wstring GetRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName);

// Reads a string-typed value (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) through the Unicode API, cut
// at its first U+0000 and not trimmed: exactly the text stored. False when the key or value is
// missing, unreadable or of another type. Lets callers notice a text that the ANSI read changed.
bool GetRegistryUnicodeString(HKEY root, const std::string& keyPath, const std::string& valueName,
                              std::wstring& text);

// A value exactly as stored: whether it could be read (ERROR_SUCCESS, or why not: a missing value
// is ERROR_FILE_NOT_FOUND), its type and its data as the Unicode API gives them. Two reads compare
// equal only when nobody changed the value in between. It may hold a password: wiped as it goes.
struct StoredValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    StoredValue() = default;
    StoredValue(const StoredValue&) = default;
    StoredValue& operator=(const StoredValue&) = default;
    ~StoredValue() { Wipe(data); }
    bool operator==(const StoredValue&) const = default;
};
StoredValue ReadStoredValue(HKEY root, const std::string& keyPath, const std::string& valueName);

// Whether a text can be stored unchanged.
enum class StoreCheck { Ok, TooLong, NotRepresentable };
StoreCheck CheckRegistryString(const std::wstring& text);

// Stores the text as a REG_SZ value of its ANSI bytes; a text is stored only up to a U+0000 in
// it. The count handed to RegSetValueExA stops before the terminating zero byte, although
// Microsoft's page for it asks for a count that includes it: the byte after the text in the
// buffer is always zero, and RegSetValueExA then stores the terminator all the same (Wine does,
// and the Registry tests read back the stored size). An empty text stays a value of zero bytes.
// Returns kFalse, and writes nothing, for a text that CheckRegistryString refuses, and kFalse when
// the key cannot be opened or the write fails.
Truth SetRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName,
                        const std::wstring& value);

}  // namespace SharedModule
