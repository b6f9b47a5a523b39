// The mapping between the six Winlogon values and the settings the dialog shows.
#include "settings/Winlogon.h"

#include <algorithm>

using SharedModule::Trim;
using SharedModule::Wipe;

namespace Winlogon {
namespace {

std::wstring Read(const Value& value) {
    return SharedModule::GetRegistryString(kRoot, kKeyPath, value.name);
}

bool IsDigits(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Whether a flag's text is a number that rounds to 1, halves going to the even neighbour
// ("0.6" and "1.4" do; "0.5", "1.5" and "-1" do not). Nothing when the text is empty or not a
// plain signed decimal number. Decided on the digits, so no number is too long or too large:
// one beyond 16 bits is simply not 1.
std::optional<bool> RoundsToOne(const std::wstring& text) {
    const std::wstring number = Trim(text);
    const bool negative = !number.empty() && number[0] == L'-';
    const size_t start = !number.empty() && (number[0] == L'+' || negative) ? 1 : 0;
    const size_t point = number.find(L'.', start);
    std::wstring whole = number.substr(start, point - start);
    const std::wstring fraction = point == std::wstring::npos ? L"" : number.substr(point + 1);
    if (!IsDigits(whole) || !IsDigits(fraction) || (whole.empty() && fraction.empty())) return std::nullopt;
    whole.erase(0, whole.find_first_not_of(L'0'));
    // The fraction against one half: below, exactly, or above.
    const int half = fraction.empty() || fraction[0] < L'5'                                ? -1
                     : fraction[0] > L'5' || fraction.find_first_not_of(L'0', 1) != std::wstring::npos ? 1
                                                                                                      : 0;
    return !negative && ((whole == L"1" && half < 0) || (whole.empty() && half > 0));
}

// The check state a flag's text gives: `one` when it rounds to 1, the other state for any
// other number, and Leave when it is no number.
Check CheckFor(const Value& value, Check one) {
    const std::optional<bool> isOne = RoundsToOne(Read(value));
    if (!isOne) return Check::Leave;
    const Check other = one == Check::Checked ? Check::Unchecked : Check::Checked;
    return *isOne ? one : other;
}

// A text value, shown trimmed. When the ANSI read lost something, the Unicode form is what the
// user sees; either way, a text that is not exactly the stored one is marked so. A value of
// another type has no Unicode form: it is marked when its bytes did not all decode.
void ReadText(const Value& value, Text& text) {
    text.text = Read(value);
    std::wstring unicode;
    if (!SharedModule::GetRegistryUnicodeString(kRoot, kKeyPath, value.name, unicode)) {
        text.shownAsStored = text.text.find(L'\uFFFD') == std::wstring::npos;
    } else if (unicode != text.text) {
        text.shownAsStored = false;
        Wipe(text.text);
        text.text = Trim(unicode);
    }
    Wipe(unicode);
}

constexpr const Value* kValues[kValueCount] = {&kAutoAdminLogon,    &kDefaultUserName,      &kDefaultPassword,
                                               &kDefaultDomainName, &kShutdownWithoutLogon, &kDontDisplayLastUserName};

SharedModule::StoredValue ReadStored(int i) { return SharedModule::ReadStoredValue(kRoot, kKeyPath, kValues[i]->name); }

}  // namespace

Settings ReadSettings() {
    Settings settings;
    settings.autoLogon = Trim(Read(kAutoAdminLogon)) == L"1";
    for (int i = 0; i < 3; ++i) ReadText(*kTextValues[i], settings.texts[i]);
    // The shutdown box offers to disable the button, so it shows the opposite of the value.
    settings.shutdownBox = CheckFor(kShutdownWithoutLogon, Check::Unchecked);
    settings.dontDisplayLastUserName = CheckFor(kDontDisplayLastUserName, Check::Checked);
    return settings;
}

Snapshot TakeSnapshot() {
    Snapshot snapshot;
    for (int i = 0; i < kValueCount; ++i) snapshot[i] = ReadStored(i);
    return snapshot;
}

StoreResult StoreSettings(const Settings& settings, Snapshot& snapshot) {
    StoreResult result;
    // Every text is checked before anything is written, so that the six values are stored
    // all together or not at all.
    std::array<std::wstring, 3> trimmed;
    for (int i = 0; i < 3 && !result.refused; ++i) {
        if (!settings.texts[i].MayStore()) continue;
        trimmed[i] = Trim(settings.texts[i].text);
        result.why = SharedModule::CheckRegistryString(trimmed[i]);
        if (result.why != SharedModule::StoreCheck::Ok) result.refused = i;
    }
    if (!result.refused) {
        // Read again just before writing: the user's change wins, but a value that only someone
        // else changed is not put back to what the dialog showed.
        const Snapshot now = TakeSnapshot();
        auto store = [&](int i, bool changedHere, const std::wstring& text) {
            if (now[i] != snapshot[i] && !changedHere) {
                result.kept.push_back(kValues[i]);
            } else if (SharedModule::SetRegistryString(kRoot, kKeyPath, kValues[i]->name, text) != SharedModule::kTrue) {
                result.failed.push_back(kValues[i]);
            } else {
                snapshot[i] = ReadStored(i);
            }
        };
        store(0, settings.autoLogonChanged, settings.autoLogon ? L"1" : L"0");
        for (int i = 0; i < 3; ++i) {
            if (settings.texts[i].MayStore()) store(i + 1, settings.texts[i].edited, trimmed[i]);
        }
        store(4, settings.shutdownBoxChanged, settings.shutdownBox == Check::Checked ? L"0" : L"1");
        store(5, settings.dontDisplayLastUserNameChanged, settings.dontDisplayLastUserName == Check::Checked ? L"1" : L"0");
    }
    for (std::wstring& text : trimmed) Wipe(text);
    return result;
}

}  // namespace Winlogon
