// Registry string access: the program's only contact with the registry.
//
// Values are read and written one at a time on an open key. Text crosses into the registry as
// bytes in the system ANSI code page through a fixed buffer, and every failure comes back as a
// status or a false result for the caller to judge.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace SharedModule {

// Results of the write functions: -1 for true, 0 for false.
using Truth = std::int16_t;
constexpr Truth kTrue = -1;
constexpr Truth kFalse = 0;

// The largest text, in ANSI bytes, that a value may hold: the buffer has one more slot, which
// stays zero so that the stored text always ends there.
constexpr int kMaxValueBytes = 256;

// Memory that may hold a password is wiped as each block goes back, reallocations included, so
// that no copy of it, however it was made, is left in freed memory.
template <class T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) {
        SecureZeroMemory(p, n * sizeof(T));
        ::operator delete(p);
    }
    template <class U>
    bool operator==(const WipingAllocator<U>&) const { return true; }
};

// A string that may hold a password. Its heap block is the allocator's to wipe; a short text
// lives inside the object itself, which is wiped here. A text that grew out of the object keeps
// the tail of its short form there (libstdc++ writes the new block's size over the start only):
// emptied and shrunk, the text is back inside (its block gone through the allocator), and the
// whole inside is wiped.
template <class Char>
class Secret : public std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>> {
    using Base = std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>>;

public:
    using Base::Base;
    Secret(const Base& other) : Base(other) {}
    Secret(Base&& other) : Base(std::move(other)) {}
    Secret(const Secret&) = default;
    Secret(Secret&&) = default;
    Secret& operator=(const Secret&) = default;
    Secret& operator=(Secret&&) = default;
    ~Secret() {
        this->clear();
        this->shrink_to_fit();
        SecureZeroMemory(this->data(), this->capacity() * sizeof(Char));
    }
};
using SecretText = Secret<wchar_t>;
using SecretBytes = std::vector<BYTE, WipingAllocator<BYTE>>;

// The registry calls, as one table so that tests can make any of them fail on demand and see
// what each was asked.
struct RegistryCalls {
    // Opens the key, creating it when missing (RegCreateKeyExA).
    LSTATUS (*createKey)(HKEY root, const char* path, REGSAM access, HKEY* key);
    // RegQueryValueExW: the one read of a value, exact in type and data.
    LSTATUS (*queryValue)(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size);
    LSTATUS (*setValue)(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size);
    LSTATUS (*closeKey)(HKEY key);
};
const RegistryCalls& SystemRegistryCalls();

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

// The table in use, of either kind.
template <class Table>
std::atomic<const Table*>& Current();
template <>
std::atomic<const RegistryCalls*>& Current();
template <>
std::atomic<const TextCalls*>& Current();

// Replaces a table for the current scope; tests only.
template <class Table>
class Scoped {
public:
    explicit Scoped(const Table& table) : previous_(Current<Table>().exchange(&table)) {}
    ~Scoped() { Current<Table>().store(previous_); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

private:
    const Table* previous_;
};
using ScopedRegistryCalls = Scoped<RegistryCalls>;
using ScopedTextCalls = Scoped<TextCalls>;

// Removes leading and trailing U+0020 spaces; other white space is content.
SecretText Trim(const SecretText& text);

// An open registry key, closed when it goes.
class Key {
public:
    Key() = default;
    ~Key();
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY handle = nullptr;
};

// Opens the key, creating it when missing, with the access the caller is granted, and always in
// the 64-bit registry view: a 32-bit build then edits the key that the logon service reads,
// not its WOW64 copy.
LSTATUS OpenKey(HKEY root, const std::string& keyPath, Key& key);

// A value exactly as one read found it: whether it could be read (ERROR_SUCCESS, or why not: a
// missing value is ERROR_FILE_NOT_FOUND), its type and its data as the Unicode API gives them.
// Two reads compare equal when presence, type and data are the same. It may hold a password.
struct StoredValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    SecretBytes data;
    bool Missing() const { return status == ERROR_FILE_NOT_FOUND; }
    bool Read() const { return status == ERROR_SUCCESS || Missing(); }
    bool operator==(const StoredValue&) const = default;
};

// Reads one value, once: `stored` gets it exactly, and the result is the text it shows as,
// trimmed: a string type's own text, up to its first U+0000; a REG_DWORD of 4 bytes or a
// REG_QWORD of 8 as its decimal number; any other data as ANSI bytes up to the first zero byte,
// or empty when there are more than kMaxValueBytes of them. A byte that the code page cannot
// decode reads as U+FFFD, so that the text neither gains a look-alike nor loses a character
// unseen. Empty when the value is missing or cannot be read.
SecretText GetRegistryString(const Key& key, const std::string& valueName, StoredValue& stored);

// Whether a text can be stored unchanged.
enum class StoreCheck { Ok, TooLong, NotRepresentable };
StoreCheck CheckRegistryString(const SecretText& text);

// Stores the text as a REG_SZ value of its ANSI bytes; a text is stored only up to a U+0000 in
// it. RegSetValueExA gets the bytes with their terminating zero byte, as Microsoft's page for
// it asks; an empty text, no data, which stores a value of zero bytes.
// Returns kFalse, and writes nothing, for a text that CheckRegistryString refuses, and kFalse
// when the write fails.
Truth SetRegistryString(const Key& key, const std::string& valueName, const SecretText& value);

// The value as a read finds it once SetRegistryString has stored `value`: REG_SZ, its UTF-16
// text with the terminator, or no bytes at all for an empty text.
StoredValue AsWritten(const SecretText& value);

}  // namespace SharedModule
