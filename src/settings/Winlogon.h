// The Winlogon key and its six values, and how a value's text is read as a number.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace Winlogon {

inline const HKEY kRoot = HKEY_LOCAL_MACHINE;
constexpr const char* kKeyPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

struct Value {
    const char* name;
    const wchar_t* field;  // how messages name it to the user
};

// In the order both procedures handle them.
constexpr Value kAutoAdminLogon{"AutoAdminLogon", L"自動ログオン"};
constexpr Value kDefaultUserName{"DefaultUserName", L"ユーザー名"};
constexpr Value kDefaultPassword{"DefaultPassword", L"パスワード"};
constexpr Value kDefaultDomainName{"DefaultDomainName", L"ドメイン名"};
constexpr Value kShutdownWithoutLogon{"ShutdownWithoutLogon", L"シャットダウンボタン"};
constexpr Value kDontDisplayLastUserName{"DontDisplayLastUserName", L"前回のユーザー名の表示"};

// The three text values, in order.
constexpr const Value* kTextValues[] = {&kDefaultUserName, &kDefaultPassword, &kDefaultDomainName};

// A flag's text as a whole number: nullopt when the text is empty or not a plain signed
// decimal number ("1", "-2", "0.6", ".5", "+3."); otherwise the number rounded to the nearest
// integer, halves to the even neighbour. Numbers beyond 16 bits are kept as they are: they
// are simply not 1.
std::optional<double> FlagNumber(const std::wstring& text);

}  // namespace Winlogon
