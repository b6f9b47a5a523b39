// The read and write procedures: the mapping between the six Winlogon values and the controls.
#include <cmath>
#include <cwchar>

#include "dialog/MainForm.h"
#include "registry/SharedModule.h"
#include "settings/Winlogon.h"

using SharedModule::Trim;
using SharedModule::Wipe;

namespace Winlogon {

std::optional<double> FlagNumber(const std::wstring& text) {
    const std::wstring number = Trim(text);
    size_t i = 0;
    if (i < number.size() && (number[i] == L'+' || number[i] == L'-')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < number.size(); ++i) {
        if (number[i] >= L'0' && number[i] <= L'9') {
            ++digits;
        } else if (number[i] == L'.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    // The syntax is checked above, so the C locale reads the number as written; nearbyint
    // rounds halves to even in the default rounding mode, which this program never changes.
    return std::nearbyint(std::wcstod(number.c_str(), nullptr));
}

}  // namespace Winlogon

namespace {

std::wstring Read(const Winlogon::Value& value) {
    return SharedModule::GetRegistryString(Winlogon::kRoot, Winlogon::kKeyPath, value.name);
}

bool Store(const Winlogon::Value& value, const std::wstring& text) {
    return SharedModule::SetRegistryString(Winlogon::kRoot, Winlogon::kKeyPath, value.name, text) ==
           SharedModule::kTrue;
}

std::wstring WindowText(HWND window) {
    std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
    text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
    return text;
}

}  // namespace

HWND MainForm::TextBox(int row) const {
    const HWND boxes[] = {UserText, PasswordText, DomainText};
    return boxes[row];
}

// Shows a text value. When the ANSI read lost something (text longer than the buffer, or
// characters the code page lacks), the box shows the Unicode form instead, and OK leaves the
// stored value alone unless the user edits it: storing the box's text would replace the
// value with something else.
void MainForm::LoadText(int row) {
    const Winlogon::Value& value = *Winlogon::kTextValues[row];
    std::wstring text = Read(value);
    std::wstring unicode;
    const bool present = SharedModule::GetRegistryUnicodeString(Winlogon::kRoot, Winlogon::kKeyPath,
                                                                value.name, unicode);
    keepStored_[row] = present && unicode != text;
    SetWindowTextW(TextBox(row), keepStored_[row] ? unicode.c_str() : text.c_str());
    Wipe(text);
    Wipe(unicode);
}

bool MainForm::WillStoreText(int row) const {
    return !keepStored_[row] || SendMessageW(TextBox(row), EM_GETMODIFY, 0, 0);
}

void MainForm::レジストリデータ取得処理() {
    SelectAutoLogon(Trim(Read(Winlogon::kAutoAdminLogon)) == L"1");
    for (int row = 0; row < 3; ++row) LoadText(row);
    // The shutdown box offers to disable the button, so it shows the opposite of the value.
    if (const auto number = Winlogon::FlagNumber(Read(Winlogon::kShutdownWithoutLogon))) {
        SendMessageW(ShutdownWithoutLogonCheck, BM_SETCHECK, *number == 1 ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    if (const auto number = Winlogon::FlagNumber(Read(Winlogon::kDontDisplayLastUserName))) {
        SetDontDisplayLastUserName(*number == 1 ? 1 : 0);
    }
}

std::vector<const Winlogon::Value*> MainForm::レジストリデータ書き込み処理() {
    std::vector<const Winlogon::Value*> failed;
    auto store = [&](const Winlogon::Value& value, const std::wstring& text) {
        if (!Store(value, text)) failed.push_back(&value);
    };
    store(Winlogon::kAutoAdminLogon, IsChecked(OnOption) ? L"1" : L"0");
    for (int row = 0; row < 3; ++row) {
        if (!WillStoreText(row)) continue;
        std::wstring text = WindowText(TextBox(row));
        std::wstring trimmed = Trim(text);
        store(*Winlogon::kTextValues[row], trimmed);
        Wipe(text);
        Wipe(trimmed);
    }
    store(Winlogon::kShutdownWithoutLogon, IsChecked(ShutdownWithoutLogonCheck) ? L"0" : L"1");
    store(Winlogon::kDontDisplayLastUserName, IsChecked(DontDisplayLastUserNameCheck) ? L"1" : L"0");
    return failed;
}

// Before anything is written: a text that cannot be stored as shown stops OK, names its field
// and takes the focus, so that OK writes all six values or none.
bool MainForm::CheckTextsBeforeStoring() {
    for (int row = 0; row < 3; ++row) {
        if (!WillStoreText(row)) continue;
        std::wstring text = WindowText(TextBox(row));
        std::wstring trimmed = Trim(text);
        const SharedModule::StoreCheck check = SharedModule::CheckRegistryString(trimmed);
        Wipe(text);
        Wipe(trimmed);
        if (check == SharedModule::StoreCheck::Ok) continue;
        const std::wstring field = Winlogon::kTextValues[row]->field;
        const std::wstring reason =
            check == SharedModule::StoreCheck::TooLong
                ? L"」が長すぎるため保存できません。\n半角 256 文字（全角 128 文字）以内で入力してください。"
                : L"」に、このコンピューターの文字コードで保存できない文字が含まれています。\nその文字を除いて入力し直してください。";
        MessageBoxW(hwnd_, (L"「" + field + reason).c_str(), L"Quellin", MB_OK | MB_ICONWARNING);
        SetFocus(TextBox(row));
        return false;
    }
    return true;
}
