// The six automatic-logon values of the Winlogon key, and the rules that map them to what the
// dialog shows and back. Nothing here knows of windows: the dialog copies a Settings value into
// its controls and collects one from them.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "registry/SharedModule.h"

namespace Winlogon {

inline const HKEY kRoot = HKEY_LOCAL_MACHINE;
constexpr const char* kKeyPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

struct Value {
    const char* name;
    const wchar_t* field;  // how messages name it to the user
};

// In the order both the read and the store handle them.
inline constexpr Value kAutoAdminLogon{"AutoAdminLogon", L"自動ログオン"};
inline constexpr Value kDefaultUserName{"DefaultUserName", L"ユーザー名"};
inline constexpr Value kDefaultPassword{"DefaultPassword", L"パスワード"};
inline constexpr Value kDefaultDomainName{"DefaultDomainName", L"ドメイン名"};
inline constexpr Value kShutdownWithoutLogon{"ShutdownWithoutLogon", L"シャットダウンボタン"};
inline constexpr Value kDontDisplayLastUserName{"DontDisplayLastUserName", L"前回のユーザー名の表示"};

// The values of Settings::texts, in order.
inline constexpr const Value* kTextValues[] = {&kDefaultUserName, &kDefaultPassword, &kDefaultDomainName};
constexpr int kValueCount = 6;

// A check box as read: a stored value that is empty or not a number leaves the box as it is.
enum class Check { Unchecked, Checked, Leave };

// One of the three texts: user name, password, domain.
struct Text {
    std::wstring text;
    // False when the text shown is not exactly the stored one: the ANSI read lost something
    // (text longer than the buffer, characters the code page lacks; the text is then the Unicode
    // form), or the stored text has spaces around it, which the box leaves out. Storing it back
    // would replace the value with something else, so it is stored only once the user edited it.
    bool shownAsStored = true;
    bool edited = false;
    bool MayStore() const { return shownAsStored || edited; }
    ~Text() { SharedModule::Wipe(text); }  // the password among them
};

// The settings as the dialog shows them.
struct Settings {
    bool autoLogon = false;
    std::array<Text, 3> texts;
    Check shutdownBox = Check::Leave;  // checked makes the shutdown button unavailable: "0"
    Check dontDisplayLastUserName = Check::Leave;
    // Whether the user changed the option or a box from its state when the dialog opened; a box
    // that the other's reaction changed counts. For the texts, Text::edited says it.
    bool autoLogonChanged = false;
    bool shutdownBoxChanged = false;
    bool dontDisplayLastUserNameChanged = false;
};

Settings ReadSettings();

// The six values, in order, exactly as stored (type and data) when the dialog read them: on OK,
// a value stored differently by then was changed by another program. Taken before the read, so
// that nothing another program writes in between can go unnoticed.
using Snapshot = std::array<SharedModule::StoredValue, kValueCount>;
Snapshot TakeSnapshot();

struct StoreResult {
    // The index of a text that cannot be stored as shown, and why. Nothing was written then.
    std::optional<int> refused;
    SharedModule::StoreCheck why = SharedModule::StoreCheck::Ok;
    // The values whose write failed; the others were stored or kept.
    std::vector<const Value*> failed;
    // The values that another program changed, created or deleted since the snapshot and the
    // user did not change: not written, they stay as that program left them.
    std::vector<const Value*> kept;
};

// Checks every text that will be stored first, then writes the six values in order, but not one
// that another program changed since `snapshot` and the user did not. What it writes becomes the
// snapshot's, so that an OK pressed again does not take this dialog's own writes for another's.
StoreResult StoreSettings(const Settings& settings, Snapshot& snapshot);

}  // namespace Winlogon
