#include "core/settings/ChangeJournal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <mutex>

#include "core/settings/ChosenStates.h"
#include "core/settings/JournalLock.h"
#include "core/settings/PolicyRegistryKey.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UserHive.h"

namespace Tavrin::Core {

using Platform::RegKey;

namespace {

constexpr wchar_t kHeader[] = L"Tavrin journal entry 1";
constexpr wchar_t kUsersPrefix[] = L"HKU\\";

// Everything that reads or writes the journal holds JournalLock, which
// also keeps out the other copies of the program. The report of its
// problems has a lock of its own: the reclamation flags are written from the
// cleanup thread.
std::mutex problemLock;
std::optional<Journal::State> pendingProblem;
bool unreadableReported = false;
// A read that meets a change made meanwhile starts again, this often.
constexpr int kReadAttempts = 8;
// Far more than any value the journal keeps or describes holds; a larger
// one, which only someone else can have written, is not read.
constexpr DWORD kLargestValueBytes = 16 * 1024 * 1024;
std::function<void(DWORD)> readHook;
std::function<LSTATUS(HKEY)> restoreFlush;

void FlagProblem(Journal::State state)
{
    std::lock_guard<std::mutex> lock(problemLock);
    // An unreadable journal stays unreadable for the whole run; once is enough.
    if (state == Journal::State::Unreadable) {
        if (unreadableReported)
            return;
        unreadableReported = true;
    }
    pendingProblem = state;
}

std::wstring RootText(const JournalEntry& entry)
{
    switch (entry.place.root) {
    case RegistryPlace::Root::Machine:
        return L"HKLM";
    case RegistryPlace::Root::User:
        return kUsersPrefix + entry.userSid;
    case RegistryPlace::Root::PolicyMachine:
        return L"Policy machine";
    case RegistryPlace::Root::PolicyUser:
        return L"Policy user";
    case RegistryPlace::Root::Other:
        break;
    }
    return L"";
}

bool ParseRoot(const std::wstring& text, JournalEntry& entry)
{
    if (text == L"HKLM")
        entry.place.root = RegistryPlace::Root::Machine;
    else if (text == L"Policy machine")
        entry.place.root = RegistryPlace::Root::PolicyMachine;
    else if (text == L"Policy user")
        entry.place.root = RegistryPlace::Root::PolicyUser;
    else if (text.compare(0, 4, kUsersPrefix) == 0 && text.size() > 4) {
        entry.place.root = RegistryPlace::Root::User;
        entry.userSid = text.substr(4);
    } else
        return false;
    return true;
}

std::wstring Hex(const std::vector<BYTE>& data)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (BYTE b : data) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool ParseHex(const std::wstring& text, std::vector<BYTE>& data)
{
    if (text.size() % 2)
        return false;
    auto nibble = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9')
            return c - L'0';
        if (c >= L'a' && c <= L'f')
            return c - L'a' + 10;
        return -1;
    };
    data.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = nibble(text[i]), low = nibble(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        data.push_back(static_cast<BYTE>(high << 4 | low));
    }
    return true;
}

// FNV-1a over the lines before the check, so that an entry changed or cut
// anywhere is seen as damaged rather than written back.
std::wstring Check(const std::vector<std::wstring>& lines, size_t count)
{
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < count; ++i) {
        for (wchar_t c : lines[i] + L"\n") {
            hash = (hash ^ static_cast<uint16_t>(c)) * 16777619u;
        }
    }
    wchar_t text[16];
    std::swprintf(text, 16, L"%08x", hash);
    return text;
}

std::vector<std::wstring> EntryLines(const JournalEntry& entry)
{
    std::vector<std::wstring> lines = {
        kHeader,
        L"root=" + RootText(entry),
        std::wstring(L"view=") + (entry.place.view == KEY_WOW64_32KEY ? L"32" : L"64"),
        L"key=" + entry.place.keyPath,
        L"value=" + entry.place.valueName,
        L"created=" + entry.createdKey,
        entry.previous.present
            ? L"previous=" + std::to_wstring(entry.previous.type) + L":" + Hex(entry.previous.data)
            : std::wstring(L"previous=absent"),
    };
    lines.push_back(L"check=" + Check(lines, lines.size()));
    return lines;
}

// "name=" followed by the rest, or nothing.
std::optional<std::wstring> Field(const std::wstring& line, const wchar_t* name)
{
    const size_t length = std::wcslen(name);
    if (line.compare(0, length, name) != 0 || line.size() <= length || line[length] != L'=')
        return std::nullopt;
    return line.substr(length + 1);
}

std::optional<JournalEntry> ParseEntry(const std::wstring& name, DWORD type, const std::vector<BYTE>& data)
{
    if (type != REG_MULTI_SZ || data.size() % sizeof(wchar_t))
        return std::nullopt;
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), data.size());
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\0', start);
        if (end == std::wstring::npos)
            return std::nullopt; // cut short
        if (end == start)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() != 8 || lines[0] != kHeader)
        return std::nullopt;
    auto root = Field(lines[1], L"root");
    auto view = Field(lines[2], L"view");
    auto key = Field(lines[3], L"key");
    auto value = Field(lines[4], L"value");
    auto created = Field(lines[5], L"created");
    auto previous = Field(lines[6], L"previous");
    auto check = Field(lines[7], L"check");
    JournalEntry entry;
    if (!root || !view || !key || !value || !created || !previous || !check || key->empty() ||
        !ParseRoot(*root, entry) || *check != Check(lines, 7))
        return std::nullopt;
    if (*view == L"64")
        entry.place.view = KEY_WOW64_64KEY;
    else if (*view == L"32")
        entry.place.view = KEY_WOW64_32KEY;
    else
        return std::nullopt;
    entry.place.keyPath = *key;
    entry.place.valueName = *value;
    entry.createdKey = *created;
    if (*previous != L"absent") {
        const size_t colon = previous->find(L':');
        if (colon == 0 || colon == std::wstring::npos ||
            previous->find_first_not_of(L"0123456789") != colon ||
            !ParseHex(previous->substr(colon + 1), entry.previous.data))
            return std::nullopt;
        entry.previous.present = true;
        entry.previous.type = static_cast<DWORD>(std::wcstoul(previous->c_str(), nullptr, 10));
    }
    // The name is the entry's own, so two entries never describe one value.
    if (!Platform::EqualsIgnoreCase(entry.Name(), name))
        return std::nullopt;
    return entry;
}

LSTATUS WriteEntry(const RegKey& journal, const JournalEntry& entry)
{
    return journal.SetMultiString(entry.Name(), EntryLines(entry));
}

// The journal that cannot be trusted goes out of the way whole, kept for a
// person to look at beside every earlier one; the next change starts a new
// one. The journal goes only once its copy is whole and on disk. False when
// it stays.
bool SetAsideDamagedJournal()
{
    RegKey tavrin;
    if (tavrin.Open(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", KEY_ALL_ACCESS | kJournalView) != ERROR_SUCCESS)
        return false;
    RegKey journal;
    if (journal.Open(tavrin.Get(), L"Journal", KEY_READ) != ERROR_SUCCESS)
        return false;
    const size_t prefix = std::wcslen(L"Software\\Tavrin\\");
    for (unsigned number = 1; number <= kDamagedJournalCopies; ++number) {
        const std::wstring name = DamagedJournalKey(number).substr(prefix);
        HKEY created = nullptr;
        DWORD disposition = 0;
        if (::RegCreateKeyExW(tavrin.Get(), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | kJournalView, nullptr, &created,
                              &disposition) != ERROR_SUCCESS)
            continue;
        RegKey damaged;
        damaged.Attach(created);
        if (disposition != REG_CREATED_NEW_KEY)
            continue; // an earlier copy: kept as it is
        if (::RegCopyTreeW(journal.Get(), nullptr, damaged.Get()) != ERROR_SUCCESS ||
            ::RegFlushKey(damaged.Get()) != ERROR_SUCCESS) {
            damaged.Close();
            ::RegDeleteTreeW(tavrin.Get(), name.c_str());
            Platform::DebugLine(L"journal: damaged, and its copy failed; it stays");
            return false;
        }
        journal.Close();
        ::RegDeleteTreeW(tavrin.Get(), L"Journal");
        ::RegFlushKey(tavrin.Get());
        Platform::DebugLine(L"journal: damaged, set aside");
        return true;
    }
    Platform::DebugLine(L"journal: damaged, and no copy can be made; it stays");
    return false;
}

enum class ReadOutcome { Read, Raced, Damaged, Failed };

// One pass over the journal's entries. Raced when the journal changed under
// it: an entry longer than the key said (ERROR_MORE_DATA), fewer entries
// (ERROR_NO_MORE_ITEMS) or a write time that moved.
ReadOutcome ReadEntries(const RegKey& key, std::vector<JournalEntry>& entries)
{
    entries.clear();
    RegKey::Info before, after;
    if (key.QueryInfo(before) != ERROR_SUCCESS)
        return ReadOutcome::Failed;
    for (DWORD index = 0; index < before.values; ++index) {
        if (readHook)
            readHook(index);
        RegKey::Value value;
        const LSTATUS status =
            key.EnumValue(index, before.longestValueName + 1, before.longestValueData + 2, value);
        if (status == ERROR_MORE_DATA || status == ERROR_NO_MORE_ITEMS)
            return ReadOutcome::Raced;
        if (status != ERROR_SUCCESS)
            return ReadOutcome::Failed;
        auto entry = ParseEntry(value.name, value.type, value.data);
        if (!entry)
            return ReadOutcome::Damaged;
        entries.push_back(std::move(*entry));
    }
    if (key.QueryInfo(after) != ERROR_SUCCESS)
        return ReadOutcome::Failed;
    return after.values == before.values && ::CompareFileTime(&before.written, &after.written) == 0
               ? ReadOutcome::Read
               : ReadOutcome::Raced;
}

Journal ReadJournalLocked()
{
    Journal journal;
    RegKey key;
    LSTATUS status = key.Open(HKEY_LOCAL_MACHINE, kJournalKey, KEY_READ | kJournalView);
    if (status == ERROR_FILE_NOT_FOUND)
        return journal;
    ReadOutcome outcome = ReadOutcome::Failed;
    if (status == ERROR_SUCCESS) {
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            outcome = ReadEntries(key, journal.entries);
            if (outcome != ReadOutcome::Raced)
                break;
        }
    }
    key.Close();
    if (outcome == ReadOutcome::Read) {
        journal.state = journal.entries.empty() ? Journal::State::Empty : Journal::State::Holding;
        return journal;
    }
    journal.entries.clear();
    // Only an entry that does not parse is a defect; a journal that would
    // not hold still, or could not be read, is left as it is.
    if (outcome == ReadOutcome::Damaged) {
        SetAsideDamagedJournal();
        journal.state = Journal::State::Damaged;
    } else
        journal.state = Journal::State::Unreadable;
    FlagProblem(journal.state);
    return journal;
}

// The topmost key of the path that does not exist yet, which the change's
// key creation will make; empty when the whole path exists.
std::wstring FirstMissingKey(HKEY root, const std::wstring& keyPath, REGSAM view)
{
    for (size_t end = 0; end != std::wstring::npos;) {
        end = keyPath.find(L'\\', end + 1);
        const std::wstring prefix = keyPath.substr(0, end);
        RegKey key;
        if (key.Open(root, prefix, KEY_READ | view) == ERROR_FILE_NOT_FOUND)
            return prefix;
    }
    return L"";
}

// Deletes the key when neither it nor a key below it holds a value; true
// when it is gone (or was never there).
bool DeleteIfEmpty(HKEY root, const std::wstring& path, REGSAM view)
{
    RegKey key;
    LSTATUS status = key.Open(root, path, KEY_READ | view);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND;
    RegKey::Info info;
    if (key.QueryInfo(info) != ERROR_SUCCESS || info.values > 0)
        return false;
    const std::vector<std::wstring> names = key.SubkeyNames(info.subkeys);
    key.Close();
    bool empty = true;
    for (const std::wstring& name : names)
        empty = DeleteIfEmpty(root, path + L"\\" + name, view) && empty;
    return empty && ::RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}

// Where an entry's value is now: its root key and the key path below it.
struct ResolvedPlace {
    HKEY root = nullptr;
    std::wstring keyPath, createdKey;
};

ResolvedPlace Resolve(const JournalEntry& entry, LocalGroupPolicy* policy)
{
    ResolvedPlace resolved{nullptr, entry.place.keyPath, entry.createdKey};
    switch (entry.place.root) {
    case RegistryPlace::Root::Machine:
        resolved.root = HKEY_LOCAL_MACHINE;
        break;
    case RegistryPlace::Root::User: {
        // The hive of the user the value belongs to: this run's, the
        // process's own, or another one while it is loaded; otherwise the
        // value waits in the journal.
        const Platform::UserHive::Place hive = Platform::UserHive::Current().PlaceOf(entry.userSid);
        if (!hive.root)
            break; // no root, so not counted as restored
        resolved.root = hive.root;
        resolved.keyPath = hive.prefix + resolved.keyPath;
        if (!resolved.createdKey.empty())
            resolved.createdKey = hive.prefix + resolved.createdKey;
        break;
    }
    case RegistryPlace::Root::PolicyMachine:
    case RegistryPlace::Root::PolicyUser:
        if (policy)
            resolved.root = policy->SectionKey(entry.place.root == RegistryPlace::Root::PolicyUser);
        break;
    case RegistryPlace::Root::Other:
        break;
    }
    return resolved;
}

bool Restore(const JournalEntry& entry, const ResolvedPlace& where)
{
    const REGSAM view = entry.place.view;
    RegKey key;
    LSTATUS status = ERROR_SUCCESS;
    if (!entry.previous.present) {
        status = key.Open(where.root, where.keyPath, KEY_SET_VALUE | view);
        if (status == ERROR_FILE_NOT_FOUND)
            return true;
        if (status != ERROR_SUCCESS)
            return false;
        status = key.DeleteValue(entry.place.valueName);
        if (status == ERROR_FILE_NOT_FOUND)
            return true;
    } else {
        if (key.Create(where.root, where.keyPath, KEY_SET_VALUE | view) != ERROR_SUCCESS)
            return false;
        status = key.SetRaw(entry.place.valueName, entry.previous.type, entry.previous.data);
    }
    // On disk before its entry goes from the journal.
    return status == ERROR_SUCCESS &&
           (restoreFlush ? restoreFlush(key.Get()) : ::RegFlushKey(key.Get())) == ERROR_SUCCESS;
}

} // namespace

StoredState StoredState::Dword(DWORD value)
{
    StoredState state{true, REG_DWORD, std::vector<BYTE>(sizeof(value))};
    std::memcpy(state.data.data(), &value, sizeof(value));
    return state;
}

StoredState StoredState::String(const std::wstring& text)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {true, REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

bool StoredState::operator==(const StoredState& other) const
{
    if (present != other.present)
        return false;
    return !present || (type == other.type && data == other.data);
}

StoredState ReadState(HKEY root, const std::wstring& keyPath, const std::wstring& valueName, REGSAM view)
{
    StoredState state;
    RegKey key;
    if (!root || key.Open(root, keyPath, KEY_QUERY_VALUE | view) != ERROR_SUCCESS)
        return state;
    RegKey::Value value;
    if (key.QueryRaw(valueName, kLargestValueBytes, value) != ERROR_SUCCESS)
        return StoredState{};
    state.present = true;
    state.type = value.type;
    state.data = std::move(value.data);
    return state;
}

std::wstring JournalEntry::Name() const
{
    // The key path's length keeps the split between key and value name
    // unambiguous; both may hold any character but the key path no "\\" at
    // its ends.
    return RootText(*this) + (place.view == KEY_WOW64_32KEY ? L"|32|" : L"|64|") +
           std::to_wstring(place.keyPath.size()) + L"|" + place.keyPath + L"|" + place.valueName;
}

std::wstring DamagedJournalKey(unsigned number)
{
    if (number <= 1)
        return kDamagedJournalKey;
    return std::wstring(L"Software\\Tavrin\\Journal (damaged ") + std::to_wstring(number) + L")";
}

Journal ReadJournal()
{
    return ReadJournal(JournalLockWait());
}

Journal ReadJournal(DWORD waitMs)
{
    const JournalLock hold({}, waitMs);
    if (hold.Status() != ERROR_SUCCESS)
        return Journal{Journal::State::Busy, {}};
    return ReadJournalLocked();
}

bool JournalHoldsEntries()
{
    return ReadJournal().state == Journal::State::Holding;
}

std::optional<Journal::State> TakeJournalProblem()
{
    std::lock_guard<std::mutex> lock(problemLock);
    auto problem = pendingProblem;
    pendingProblem.reset();
    return problem;
}

LSTATUS BeforeRegistryChange(HKEY root, const RegistryPlace& place, const std::optional<StoredState>& next)
{
    if (!root || place.root == RegistryPlace::Root::Other)
        return ERROR_SUCCESS;
    const StoredState current = ReadState(root, place.keyPath, place.valueName, place.view);
    // Writing what is there, or deleting what is not, changes nothing.
    if (next ? current == *next : !current.present)
        return ERROR_SUCCESS;

    const JournalLock hold;
    if (hold.Status() != ERROR_SUCCESS) {
        Platform::DebugLine(L"journal: held by another copy past the wait");
        return hold.Status();
    }
    JournalEntry entry;
    entry.place = place;
    // The user whose hive the change goes to.
    if (place.root == RegistryPlace::Root::User)
        entry.userSid = Platform::UserHive::Current().User().sid;
    entry.previous = current;
    const std::wstring name = entry.Name();

    RegKey journal;
    LSTATUS status = journal.Create(HKEY_LOCAL_MACHINE, kJournalKey, KEY_READ | KEY_WRITE | kJournalView);
    if (status != ERROR_SUCCESS) {
        // A change that could not be undone is not made.
        Platform::DebugLine(L"journal: cannot be written");
        FlagProblem(Journal::State::Unreadable);
        return status;
    }
    RegKey::Value kept;
    const LSTATUS found = journal.QueryRaw(name, kLargestValueBytes, kept);
    if (found == ERROR_SUCCESS || found == ERROR_MORE_DATA) {
        if (found == ERROR_SUCCESS && ParseEntry(name, kept.type, kept.data))
            return ERROR_SUCCESS; // the state before the first change is already kept
        journal.Close();
        FlagProblem(Journal::State::Damaged);
        if (!SetAsideDamagedJournal())
            return ERROR_FILE_CORRUPT;
        status = journal.Create(HKEY_LOCAL_MACHINE, kJournalKey, KEY_READ | KEY_WRITE | kJournalView);
        if (status != ERROR_SUCCESS)
            return status;
    }
    entry.createdKey = current.present ? L"" : FirstMissingKey(root, place.keyPath, place.view);
    status = WriteEntry(journal, entry);
    if (status != ERROR_SUCCESS) {
        Platform::DebugLine(L"journal: entry not written");
        return status;
    }
    // On disk before the change is made.
    return ::RegFlushKey(journal.Get());
}

UndoResult UndoAllChanges(const std::function<void()>& whileWaiting)
{
    UndoResult result;
    const JournalLock hold(whileWaiting);
    if (hold.Status() != ERROR_SUCCESS) {
        result.journalBusy = true;
        return result;
    }
    const Journal journal = ReadJournalLocked();
    if (journal.state == Journal::State::Damaged || journal.state == Journal::State::Unreadable) {
        result.journalProblem = true;
        return result;
    }
    if (journal.entries.empty())
        return result;

    // A policy object loaded for the undo alone, so that its save keeps what
    // other tools set meanwhile.
    std::optional<LocalGroupPolicy> policy;
    for (const JournalEntry& entry : journal.entries)
        if (entry.place.ViaPolicyObject() && !policy)
            policy.emplace();

    struct Restored {
        const JournalEntry* entry;
        ResolvedPlace where;
    };
    std::vector<Restored> restored;
    for (const JournalEntry& entry : journal.entries) {
        const ResolvedPlace where = Resolve(entry, policy ? &*policy : nullptr);
        if (!where.root) {
            ++result.failed;
            continue;
        }
        const bool changes =
            ReadState(where.root, where.keyPath, entry.place.valueName, entry.place.view) != entry.previous;
        if (!Restore(entry, where)) {
            ++result.failed;
            continue;
        }
        if (changes && ChangeNeedsRestart(entry.place))
            result.restartNeeded = true;
        restored.push_back({&entry, where});
    }
    // Only when every value is back: a key another value of the journal
    // still keeps alive goes with that value.
    for (const Restored& done : restored)
        if (!done.where.createdKey.empty())
            DeleteIfEmpty(done.where.root, done.where.createdKey, done.entry->place.view);

    for (bool userSection : {false, true}) {
        const auto root = userSection ? RegistryPlace::Root::PolicyUser : RegistryPlace::Root::PolicyMachine;
        auto throughSection = [&](const Restored& done) { return done.entry->place.root == root; };
        if (std::none_of(restored.begin(), restored.end(), throughSection))
            continue;
        if (!policy->Save(userSection)) {
            // Not in the policy files yet: they stay journalled.
            auto unsaved = std::remove_if(restored.begin(), restored.end(), throughSection);
            result.failed += static_cast<size_t>(restored.end() - unsaved);
            restored.erase(unsaved, restored.end());
        }
    }

    // Put back as before the program's first change, those rows are no
    // longer the user's choice.
    std::vector<JournalEntry> restoredEntries;
    for (const Restored& done : restored)
        restoredEntries.push_back(*done.entry);
    ForgetChosenStates(restoredEntries);

    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kJournalKey, KEY_READ | KEY_WRITE | kJournalView) == ERROR_SUCCESS) {
        for (const Restored& done : restored)
            ::RegDeleteValueW(key.Get(), done.entry->Name().c_str());
        RegKey::Info left;
        key.QueryInfo(left);
        ::RegFlushKey(key.Get());
        key.Close();
        if (left.values == 0)
            ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kJournalKey, kJournalView, 0);
    }
    result.restored = restored.size();
    return result;
}

void SetJournalReadHook(std::function<void(DWORD index)> hook)
{
    const JournalLock hold;
    readHook = std::move(hook);
}

void SetRestoreFlush(std::function<LSTATUS(HKEY key)> flush)
{
    const JournalLock hold;
    restoreFlush = std::move(flush);
}

} // namespace Tavrin::Core
