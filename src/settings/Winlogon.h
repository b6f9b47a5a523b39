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

constexpr int kValueCount = 6;
inline constexpr const Value* kValues[kValueCount] = {&kAutoAdminLogon,    &kDefaultUserName,      &kDefaultPassword,
                                                      &kDefaultDomainName, &kShutdownWithoutLogon, &kDontDisplayLastUserName};
// The values of Settings::texts, in order.
inline constexpr const Value* const* kTextValues = kValues + 1;

// A check box as read: a stored value that is empty, no number or unreadable leaves the box as
// it is.
enum class Check { Unchecked, Checked, Leave };

// The settings, as read from the values or as the dialog shows them.
struct Settings {
    bool autoLogon = false;
    std::array<SharedModule::SecretText, 3> texts;  // user name, password, domain
    Check shutdownBox = Check::Leave;  // checked makes the shutdown button unavailable: "0"
    Check dontDisplayLastUserName = Check::Leave;
};

using Snapshot = std::array<SharedModule::StoredValue, kValueCount>;

// The values as the dialog opened on them, from one read of each, and since then as its OKs
// stored them.
struct Opened {
    Snapshot stored;  // each value exactly as read
    Settings read;    // what they mean
    Settings loaded;  // what the dialog showed once it had set its controls to `read`
    // The values that could not be read.
    std::vector<const Value*> Unread() const;
};

// Opens the key (creating it when missing) and reads each value once.
Opened ReadSettings();

struct StoreResult {
    // The index of a text that cannot be stored as shown, and why. Nothing was written then.
    std::optional<int> refused;
    SharedModule::StoreCheck why = SharedModule::StoreCheck::Ok;
    // Not stored, because the write or the key's opening failed.
    std::vector<const Value*> failed;
    // Not stored, because the value could not be read again just before.
    std::vector<const Value*> unread;
    // Not stored, because another program changed, created or deleted the value since it was
    // read and the user did not change its control: it stays as that program left it.
    std::vector<const Value*> kept;
};

// Checks every text that may be stored first, then goes through the six values in order on one
// open key. Each is read again and compared with `opened.stored`, then written only when its
// setting as `shown` differs from the one read (a change by the user, or by the dialog's own
// reaction as it opened), or when it was missing; never over another program's change that the
// user did not make too. A value that could not be read when the dialog opened is written only
// when the user changed its control. What is written becomes `opened`'s, so that an OK pressed
// again does not take this dialog's own writes for another program's. A failed write leaves the
// earlier writes in place.
StoreResult StoreSettings(const Settings& shown, Opened& opened);

}  // namespace Winlogon
