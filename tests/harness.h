// Shared test helpers: the registry of the private Wine prefix, and a driver that works the
// dialog from outside as a user would, in the real exe or on a thread of the test program.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "dialog/Layout.h"

namespace test {

std::wstring ExePath();  // the real quellin.exe, beside the test program

// Waits, checking often, until `condition` holds or `milliseconds` pass.
bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000);

// A value as the registry keeps it, read through the Unicode API: the type and the data as
// UTF-16 units, without the terminator a string may end in.
struct Stored {
    DWORD type;
    std::wstring data;
    bool operator==(const Stored&) const = default;
};

extern const char* const kWinlogon;
constexpr const char* kNames[] = {"AutoAdminLogon",    "DefaultUserName",      "DefaultPassword",
                                  "DefaultDomainName", "ShutdownWithoutLogon", "DontDisplayLastUserName"};

void DeleteKey(const char* path);  // under HKLM, 64-bit view, like everything here
void Put(const char* path, const char* name, DWORD type, const std::string& bytes);  // ANSI API
void PutText(const char* path, const char* name, const std::wstring& text);          // Unicode API
std::optional<Stored> Get(const char* path, const char* name);
std::wstring Text(const char* name);  // a Winlogon value's data, or "<missing>"

// Replaces the Winlogon key by one holding `texts` as REG_SZ; reads all six values back.
void ResetWinlogon(const std::map<std::string, std::wstring>& texts = {});
std::map<std::string, std::optional<Stored>> ReadWinlogon();

class Form {
public:
    static std::unique_ptr<Form> Launch();    // the real exe
    static std::unique_ptr<Form> OnThread();  // in-process, where tests can swap the registry calls
    ~Form();                                  // ends whatever still runs

    HWND window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    std::wstring Text(int id) const;
    HWND Focus() const;

    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    void Type(int id, const std::wstring& text) const;  // replaces the box's text, key by key
    void Key(WORD key) const;                           // pressed on the focused control
    void Close() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }
    bool WaitEnded();
    std::wstring MessageText() const;  // of the message box it shows, waited for
    void DismissMessage() const;

private:
    Form() = default;
    void WaitReady();
    HWND FindMessageBox() const;
    HANDLE process_ = nullptr;
    DWORD thread_ = 0;
    HWND window_ = nullptr;
    std::thread runner_;
};

}  // namespace test
