// The mapping between the six Winlogon values and the settings the dialog shows.
#include "settings/Winlogon.h"

#include <algorithm>
#include <iterator>

using SharedModule::SecretText;
using SharedModule::StoredValue;
using SharedModule::Trim;

namespace Winlogon {
namespace {

bool IsDigits(const SecretText& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Whether a flag's text is a number that rounds to 1, halves going to the even neighbour
// ("0.6" and "1.4" do; "0.5", "1.5" and "-1" do not). Nothing when the text is empty or not a
// plain signed decimal number. Decided on the digits, so no number is too long or too large:
// one beyond 16 bits is simply not 1.
std::optional<bool> RoundsToOne(const SecretText& number) {
    const bool negative = !number.empty() && number[0] == L'-';
    const size_t start = !number.empty() && (number[0] == L'+' || negative) ? 1 : 0;
    const size_t point = number.find(L'.', start);
    SecretText whole = number.substr(start, point - start);
    const SecretText fraction = point == SecretText::npos ? SecretText() : SecretText(number.substr(point + 1));
    if (!IsDigits(whole) || !IsDigits(fraction) || (whole.empty() && fraction.empty())) return std::nullopt;
    whole.erase(0, whole.find_first_not_of(L'0'));
    // The fraction against one half: below, exactly, or above.
    const int half = fraction.empty() || fraction[0] < L'5'                                ? -1
                     : fraction[0] > L'5' || fraction.find_first_not_of(L'0', 1) != SecretText::npos ? 1
                                                                                                     : 0;
    return !negative && ((whole == L"1" && half < 0) || (whole.empty() && half > 0));
}

// The check state a flag's text gives: `one` when it rounds to 1, the other state for any
// other number, and Leave when it is no number.
Check CheckFor(const SecretText& text, Check one) {
    const std::optional<bool> isOne = RoundsToOne(text);
    if (!isOne) return Check::Leave;
    return *isOne ? one : one == Check::Checked ? Check::Unchecked : Check::Checked;
}

bool IsText(int i) { return i >= 1 && i <= 3; }

Check& Box(Settings& s, int i) { return i == 4 ? s.shutdownBox : s.dontDisplayLastUserName; }
Check Box(const Settings& s, int i) { return i == 4 ? s.shutdownBox : s.dontDisplayLastUserName; }

// Whether two settings show value i alike; a text as it stands in its box.
bool Same(const Settings& a, const Settings& b, int i) {
    if (i == 0) return a.autoLogon == b.autoLogon;
    if (IsText(i)) return a.texts[i - 1] == b.texts[i - 1];
    return Box(a, i) == Box(b, i);
}

void Copy(Settings& to, const Settings& from, int i) {
    if (i == 0) to.autoLogon = from.autoLogon;
    else if (IsText(i)) to.texts[i - 1] = from.texts[i - 1];
    else Box(to, i) = Box(from, i);
}

// What value i is stored as: the flags as "1" or "0" (the shutdown box offers to disable the
// button, so checked is "0"), the texts without surrounding spaces.
SecretText TextFor(const Settings& s, int i) {
    if (i == 0) return s.autoLogon ? L"1" : L"0";
    if (IsText(i)) return Trim(s.texts[i - 1]);
    return (Box(s, i) == Check::Checked) == (i == 5) ? L"1" : L"0";
}

}  // namespace

std::vector<const Value*> Opened::Unread() const {
    std::vector<const Value*> unread;
    for (int i = 0; i < kValueCount; ++i) {
        if (!stored[i].Read()) unread.push_back(kValues[i]);
    }
    return unread;
}

Opened ReadSettings() {
    Opened opened;
    SharedModule::Key key;
    const LSTATUS open = SharedModule::OpenKey(kRoot, kKeyPath, key);
    std::array<SecretText, kValueCount> texts;
    for (int i = 0; i < kValueCount; ++i) {
        // A key that cannot be opened leaves every value unread, never missing.
        if (open != ERROR_SUCCESS) opened.stored[i].status = open == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : open;
        else texts[i] = SharedModule::GetRegistryString(key, kValues[i]->name, opened.stored[i]);
    }
    Settings& read = opened.read;
    read.autoLogon = texts[0] == L"1";
    std::move(texts.begin() + 1, texts.begin() + 4, read.texts.begin());
    read.shutdownBox = CheckFor(texts[4], Check::Unchecked);
    read.dontDisplayLastUserName = CheckFor(texts[5], Check::Checked);
    opened.loaded = read;
    return opened;
}

StoreResult StoreSettings(const Settings& shown, Opened& opened) {
    StoreResult result;
    std::array<bool, kValueCount> changed{};  // by the user (or a reaction to the user) since loaded
    for (int i = 0; i < kValueCount; ++i) changed[i] = !Same(shown, opened.loaded, i);
    // Every text that may be stored is checked before anything is written.
    for (int i = 1; i <= 3 && !result.refused; ++i) {
        if (!changed[i] && !opened.stored[i].Missing()) continue;
        result.why = SharedModule::CheckRegistryString(TextFor(shown, i));
        if (result.why != SharedModule::StoreCheck::Ok) result.refused = i - 1;
    }
    if (result.refused) return result;

    SharedModule::Key key;
    if (SharedModule::OpenKey(kRoot, kKeyPath, key) != ERROR_SUCCESS) {
        result.failed.assign(std::begin(kValues), std::end(kValues));
        return result;
    }
    for (int i = 0; i < kValueCount; ++i) {
        StoredValue& then = opened.stored[i];
        // Read again just before writing: the user's change wins, but a value that only someone
        // else changed is not put back to what the dialog showed.
        StoredValue now;
        SharedModule::GetRegistryString(key, kValues[i]->name, now);
        bool write = changed[i];
        if (!now.Read()) {
            result.unread.push_back(kValues[i]);
            continue;
        } else if (!then.Read()) {
            // Never known, so only the user's own change is stored.
        } else if (now != then) {
            if (!changed[i]) result.kept.push_back(kValues[i]);
        } else if (then.Missing()) {
            write = true;  // created as shown
        } else if (i == 0 || (!IsText(i) && Box(opened.read, i) != Check::Leave)) {
            write = !Same(shown, opened.read, i);  // the dialog's own reaction counts as a change
        }
        if (!write) continue;
        const SecretText text = TextFor(shown, i);
        if (SharedModule::SetRegistryString(key, kValues[i]->name, text) != SharedModule::kTrue) {
            result.failed.push_back(kValues[i]);
            continue;
        }
        then = SharedModule::AsWritten(text);
        Copy(opened.read, shown, i);
        Copy(opened.loaded, shown, i);
    }
    return result;
}

}  // namespace Winlogon
