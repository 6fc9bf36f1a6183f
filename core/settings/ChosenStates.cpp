#include "core/settings/ChosenStates.h"

#include <algorithm>
#include <optional>

#include "core/settings/ChangeJournal.h"
#include "core/settings/JournalLock.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UserHive.h"

namespace Tavrin::Core {

using Platform::RegKey;

namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;
// Far more rows than the pages have; a part holding more is not ours.
constexpr DWORD kMostRows = 1024;

// A part as recorded: for each row, in row order, 1 ticked, 0 cleared, -1 not recorded.
using Part = std::vector<signed char>;

std::wstring PartPath(const std::wstring& part)
{
    return std::wstring(kChosenStatesKey) + L"\\" + part;
}

// The rows of one part as recorded; none recorded when it is missing,
// nothing when it is damaged. Names of no row (a later version's) are passed over.
std::optional<Part> ReadPart(const std::wstring& part)
{
    const std::vector<SettingsBook::Row>& rows = SettingsBook::Rows();
    Part states(rows.size(), -1);
    RegKey key;
    const LSTATUS status = key.Open(HKEY_LOCAL_MACHINE, PartPath(part), KEY_READ | kView);
    if (status == ERROR_FILE_NOT_FOUND)
        return states;
    RegKey::Info info;
    if (status != ERROR_SUCCESS || key.QueryInfo(info) != ERROR_SUCCESS || info.values > kMostRows)
        return std::nullopt;
    for (DWORD index = 0; index < info.values; ++index) {
        RegKey::Value value;
        if (key.EnumValue(index, RegKey::kMaxValueNameChars, sizeof(DWORD), value) != ERROR_SUCCESS ||
            value.type != REG_DWORD || value.data.size() != sizeof(DWORD) || value.data[0] > 1 ||
            value.data[1] || value.data[2] || value.data[3])
            return std::nullopt;
        const std::string name = Platform::Narrow(value.name);
        for (size_t i = 0; i < rows.size(); ++i)
            if (name == rows[i].name)
                states[i] = static_cast<signed char>(value.data[0]);
    }
    return states;
}

// The part a row is recorded in for the user whose settings this run shows.
std::wstring PartOf(const SettingsBook::Row& row)
{
    return row.perUser ? Platform::UserHive::Current().User().sid : kChosenMachinePart;
}

// Opens a part for writing; a damaged one is started afresh.
LSTATUS OpenPartForWriting(const std::wstring& part, RegKey& key)
{
    if (!ReadPart(part)) {
        Platform::DebugLine(L"chosen states: a damaged part of the record starts afresh");
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, PartPath(part).c_str());
    }
    return key.Create(HKEY_LOCAL_MACHINE, PartPath(part), KEY_READ | KEY_WRITE | kView);
}

bool SamePlace(const RegistryPlace& a, const RegistryPlace& b)
{
    return a.root == b.root && a.view == b.view && Platform::EqualsIgnoreCase(a.keyPath, b.keyPath) &&
           Platform::EqualsIgnoreCase(a.valueName, b.valueName);
}

} // namespace

LSTATUS RecordChosenStates(const std::vector<const char*>& names)
{
    const JournalLock hold;
    if (hold.Status() != ERROR_SUCCESS)
        return hold.Status();
    SettingsBook book;
    // At most two parts: the machine's and the user's.
    std::vector<std::pair<std::wstring, RegKey>> parts;
    LSTATUS first = ERROR_SUCCESS;
    for (const char* name : names) {
        const SettingsBook::Row* row = SettingsBook::Find(name);
        if (!row || !book.IsAvailable(*row))
            continue;
        const std::wstring part = PartOf(*row);
        if (part.empty())
            continue;
        auto open =
            std::find_if(parts.begin(), parts.end(), [&](const auto& held) { return held.first == part; });
        LSTATUS status = ERROR_SUCCESS;
        if (open == parts.end()) {
            parts.emplace_back(part, RegKey());
            open = parts.end() - 1;
            status = OpenPartForWriting(part, open->second);
        }
        const RegKey& key = open->second;
        if (status == ERROR_SUCCESS)
            status = key.SetDword(Platform::Widen(name), book.IsTicked(*row) ? 1 : 0);
        if (status != ERROR_SUCCESS && first == ERROR_SUCCESS)
            first = status;
    }
    return first;
}

LSTATUS RecordChosenRows(const char* name, bool wholePage)
{
    const SettingsBook::Row* named = SettingsBook::Find(name);
    std::vector<const char*> names;
    for (const SettingsBook::Row& row : SettingsBook::Rows())
        if (&row == named || (wholePage && named && row.page == named->page))
            names.push_back(row.name);
    return RecordChosenStates(names);
}

void ForgetChosenStates(const std::vector<JournalEntry>& restored)
{
    RegKey record;
    if (record.Open(HKEY_LOCAL_MACHINE, kChosenStatesKey, KEY_READ | kView) != ERROR_SUCCESS)
        return;
    const std::vector<std::wstring> allParts = record.SubkeyNames(kMostRows);
    for (const SettingsBook::Row& row : SettingsBook::Rows()) {
        for (const JournalEntry& entry : restored) {
            if (std::none_of(row.places.begin(), row.places.end(),
                             [&](const RegistryPlace& place) { return SamePlace(place, entry.place); }))
                continue;
            const std::vector<std::wstring> parts =
                entry.userSid.empty() ? allParts : std::vector<std::wstring>{entry.userSid};
            for (const std::wstring& part : parts)
                ::RegDeleteKeyValueW(record.Get(), part.c_str(), Platform::Widen(row.name).c_str());
        }
    }
}

ChosenStatesCheck CheckChosenStates(SettingsBook& book)
{
    ChosenStatesCheck check;
    const JournalLock hold;
    if (hold.Status() != ERROR_SUCCESS) {
        check.state = ChosenStatesCheck::State::Busy;
        return check;
    }
    const std::wstring sid = Platform::UserHive::Current().User().sid;
    const std::optional<Part> machine = ReadPart(kChosenMachinePart);
    const std::optional<Part> user = sid.empty() ? Part(SettingsBook::Rows().size(), -1) : ReadPart(sid);
    if (!machine || !user) {
        Platform::DebugLine(L"chosen states: the record is damaged and is ignored");
        check.state = ChosenStatesCheck::State::Damaged;
        return check;
    }
    const bool perUserReachable = PerUserRowsReachable();
    const std::vector<SettingsBook::Row>& rows = SettingsBook::Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const SettingsBook::Row& row = rows[i];
        const signed char recorded = (row.perUser ? *user : *machine)[i];
        if (recorded < 0)
            continue;
        check.state = ChosenStatesCheck::State::Read;
        if ((row.perUser && !perUserReachable) || !book.IsAvailable(row))
            continue;
        const bool now = book.IsTicked(row);
        if (now != (recorded == 1))
            check.changed.push_back({row.name, recorded == 1, now});
    }
    return check;
}

size_t CountChangedBack()
{
    const Platform::ComApartment com;
    SettingsBook book;
    return CheckChosenStates(book).changed.size();
}

} // namespace Tavrin::Core
