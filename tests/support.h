// Test helpers: the registry of the throw-away Wine prefix, and a driver that works a running
// quellin exe from outside, as a user would.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "registry/SharedModule.h"

namespace test {

// The registry calls the program makes, unchanged: what the tests' seams wrap.
inline const SharedModule::RegistryCalls& Real() { return SharedModule::SystemRegistryCalls(); }

// Between the test's plain strings and the program's secret ones.
inline SharedModule::SecretText Secret(const std::wstring& s) { return {s.data(), s.size()}; }
inline std::wstring Wide(const SharedModule::SecretText& s) { return {s.data(), s.size()}; }

constexpr const char* kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kNames[] = {"AutoAdminLogon",    "DefaultUserName",      "DefaultPassword",
                                  "DefaultDomainName", "ShutdownWithoutLogon", "DontDisplayLastUserName"};

// ON, the shutdown box and the last-user box of the dialog as 1/0, then its three texts, '|'
// between them.
std::wstring Shown(HWND dialog);

// While watched, each block of memory this program frees still holding "Zq9-" or "-9qZ" (the
// marks every secret in the tests starts and ends with), as UTF-16 or as ANSI bytes, is counted:
// a copy of a password released without a wipe, or with half of one. Watch(false) returns it.
int Watch(bool on);

// Waits, checking often, until `condition` holds or `milliseconds` pass; meanwhile this
// thread's own windows, if any, handle their messages.
bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000);

std::wstring BesideTests(const std::wstring& file);
// A file of the source tree (QUELLIN_SOURCE), its path and its bytes.
std::wstring SourcePath(const std::wstring& relative);
std::string Source(const std::wstring& relative);

// The exes under test, the x86-64 one first: QUELLIN_EXES, commas between, or quellin.exe.
std::vector<std::wstring> Exes();

// Keys under HKEY_LOCAL_MACHINE, in the 64-bit registry view unless told otherwise.
void DeleteKey(const char* path, REGSAM view = KEY_WOW64_64KEY);
// Through the ANSI call, or with `exact` the Unicode one, whose string types take UTF-16 bytes.
void Put(const char* path, const char* name, DWORD type, const std::string& bytes, REGSAM view = KEY_WOW64_64KEY, bool exact = false);

// The Winlogon key replaced by one holding `texts` as REG_SZ values; its six values as
// stored, '|' between them, "-" for a missing one.
void ResetWinlogon(const std::map<std::string, std::wstring>& texts = {}, REGSAM view = KEY_WOW64_64KEY);
std::wstring Winlogon(REGSAM view = KEY_WOW64_64KEY);
// Each of the six exactly as stored: its type's number, ':', its bytes; "-" for a missing one.
std::vector<std::string> Raw(REGSAM view = KEY_WOW64_64KEY);

// A quellin exe, started and ready for input; ended with the object.
class Exe {
public:
    explicit Exe(const std::wstring& path = Exes()[0]);
    ~Exe();
    Exe(const Exe&) = delete;
    Exe& operator=(const Exe&) = delete;

    HWND window = nullptr;
    HWND Item(int id) const { return GetDlgItem(window, id); }
    HWND Focus() const;

    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    void PressAndSlideOff(int id) const;  // the mouse button goes down on the control and up off it
    void Type(int id, const std::wstring& text) const;  // replaces the box's text, key by key
    void Keys(int id, const std::wstring& text) const;  // the box's focus taken, the text typed on the keyboard after its own
    // Keys pressed together on the keyboard, as SendInput makes them, to the foreground window:
    // down in turn, then up the other way round; with `upOnly`, only the releases. Returns when
    // the exe has handled them.
    void Press(std::initializer_list<WORD> chord, bool upOnly = false) const;
    // Returns once the exe has handled what was in its queue: each message sent here is handled
    // only between two of its messages.
    void Settle() const;
    bool Ended() const { return WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0; }
    // The message box it shows, whole, as "icon|buttons|text" ("no icon" if it has none), each
    // button as caption:id, a space after each. The box must be owned by the dialog, which is
    // disabled while it shows. The box is then closed.
    std::wstring TakeMessage() const;

private:
    PROCESS_INFORMATION process_{};
};

}  // namespace test
