// Shared test helpers: the Winlogon key of the private Wine prefix, and a driver that works a
// dialog window from outside, the way a user would, whether it runs in the real exe or on a
// thread of the test program.
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

// Waits, checking often, until `condition` holds or `milliseconds` pass.
bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000);

// A value as the registry keeps it, seen through the Unicode API, which shows what is stored.
struct Stored {
    DWORD type = REG_NONE;
    std::wstring text;  // the data as UTF-16, without a terminator the data may end in
    std::string raw;    // the data's bytes
    bool operator==(const Stored&) const = default;
};

constexpr const char* kValueNames[] = {"AutoAdminLogon",    "DefaultUserName",      "DefaultPassword",
                                       "DefaultDomainName", "ShutdownWithoutLogon", "DontDisplayLastUserName"};
using Values = std::map<std::string, std::optional<Stored>>;

HKEY OpenKey(const char* path, bool create = true);  // HKLM, 64-bit view
void DeleteKey(const char* path);
void Put(const char* path, const char* name, DWORD type, const void* data, DWORD size);
void PutText(const char* path, const char* name, const std::wstring& text, DWORD type = REG_SZ);
std::optional<Stored> Get(const char* path, const char* name);
std::string GetAnsi(const char* path, const char* name);  // the bytes the ANSI query returns

// The Winlogon key: replaced wholesale by `texts` (REG_SZ), and all six values read back.
extern const char* const kWinlogon;
void ResetWinlogon(const std::map<std::string, std::wstring>& texts = {});
Values ReadWinlogon();
std::wstring Str(const std::optional<Stored>& value);  // text, or "<missing>"

std::string ToAnsi(const std::wstring& text);  // in the ANSI code page, no loss checked

// A dialog window being driven.
class Form {
public:
    // Starts the real exe and waits for its window.
    static std::unique_ptr<Form> Launch();
    // Runs the dialog on a thread of this process, so that tests can swap the registry calls.
    static std::unique_ptr<Form> OnThread();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    ~Form();  // ends whatever is still running

    HWND window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool Checked(int id) const;
    std::wstring Text(int id) const;
    HWND Focus() const;

    void Click(int id) const;  // posted, as a mouse click would come
    void Type(int id, const std::wstring& text) const;  // replaces the box's text by typing
    void Key(WORD key) const;  // a key press on the focused control
    void Close() const;        // the window's own close command
    bool WaitEnded(DWORD milliseconds = 10000);
    // The text of a message box the dialog shows, waited for; empty if none came.
    std::wstring MessageText(DWORD milliseconds = 10000) const;
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
