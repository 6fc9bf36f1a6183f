#pragma once
#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/DeploymentPolicy.h"
#include "core/settings/SettingsCatalogue.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"

// Registry helpers of the settings tests. Values are read and written with the
// plain Win32 API, never through the code under test.
namespace Tavrin::Test {

struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    bool IsDword(DWORD value) const;
    bool IsString(const std::wstring& text) const; // REG_SZ, (length + 1) * 2 bytes
};
void PrintTo(const StoredValue& value, std::ostream* out);

StoredValue ReadStored(HKEY root, const std::wstring& path, const std::wstring& name,
                       REGSAM view = KEY_WOW64_64KEY);
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY);
void WriteStored(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                 DWORD size, REGSAM view = KEY_WOW64_64KEY);
void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
void DeleteStored(HKEY root, const std::wstring& path, const std::wstring& name,
                  REGSAM view = KEY_WOW64_64KEY);

// A domain administrator's deployment policy, set to 1 in the program's own
// registry view until the object goes; the value it had comes back then.
class DeploymentPolicySet {
public:
    explicit DeploymentPolicySet(Tavrin::Core::DeploymentPolicy policy);

private:
    RegistryValueBackup m_backup;
};

// Remembers registry values (and which keys above them exist) and puts them
// back when it goes, deleting keys that a test created; works in the 64-bit
// view, where the settings live.
class RegistryRestorer {
public:
    RegistryRestorer() = default;
    ~RegistryRestorer();
    RegistryRestorer(const RegistryRestorer&) = delete;
    RegistryRestorer& operator=(const RegistryRestorer&) = delete;

    // Remembers the value and then deletes it, so a test starts from nothing.
    void TrackAndClear(HKEY root, const std::wstring& path, const std::wstring& name);

private:
    struct Saved {
        HKEY root;
        std::wstring path, name;
        StoredValue value;
    };
    struct CreatedKey {
        HKEY root;
        std::wstring path;
    };
    std::vector<Saved> m_values;
    std::vector<CreatedKey> m_created;
};

// While it lives the machine's change journal (and a journal set aside as
// damaged) is gone: it is cleared when the object is made and when it goes,
// so that a test sees only its own entries and leaves none behind.
class ClearedJournal {
public:
    ClearedJournal() { Clear(); }
    ~ClearedJournal() { Clear(); }
    ClearedJournal(const ClearedJournal&) = delete;
    ClearedJournal& operator=(const ClearedJournal&) = delete;
    static void Clear();
};

// Another process, helpers/journal_copy, holding the journal's lock from
// when Held() says so until the object goes.
class JournalHeldElsewhere {
public:
    JournalHeldElsewhere();
    ~JournalHeldElsewhere();
    JournalHeldElsewhere(const JournalHeldElsewhere&) = delete;
    JournalHeldElsewhere& operator=(const JournalHeldElsewhere&) = delete;
    // Waits (at most 30 s) until the other process holds the lock.
    bool Held() const;

private:
    std::wstring m_ready, m_release;
    Platform::UniqueHandle m_readyEvent, m_releaseEvent;
    std::unique_ptr<RunningProgram> m_program;
};

// Where a member of a settings model lives, taken from its property.
struct EntryPlace {
    HKEY root = nullptr;
    std::wstring path, name;
    bool isString = false;
    bool policyBound = false;
    DWORD numberDefault = 0;
    std::wstring textDefault;
};

template <typename Model> EntryPlace PlaceOf(const Model& model, const Core::SettingEntry<Model>& entry)
{
    return std::visit(
        [&](auto member) {
            const auto& property = model.*member;
            EntryPlace place;
            place.root = property.RootKey();
            place.path = property.KeyPath();
            place.name = property.ValueName();
            place.policyBound = property.IsPolicyBound();
            if constexpr (std::is_same_v<std::decay_t<decltype(property.defaultValue)>, DWORD>)
                place.numberDefault = property.defaultValue;
            else {
                place.isString = true;
                place.textDefault = property.defaultValue;
            }
            return place;
        },
        entry);
}

template <typename Model> bool IsPolicyBound(const Model& model, const Core::SettingEntry<Model>& entry)
{
    return std::visit([&](auto member) { return (model.*member).IsPolicyBound(); }, entry);
}

// Tracks and clears every plain value of a catalogue. Policy-bound values live
// in the policy object's section (a scratch key of PolicyServer, or nowhere)
// and their root handle dies with the model, so they are left out; their
// place is not even asked for, which would open the policy object.
template <typename Model> void ClearCatalogue(RegistryRestorer& restorer, const Model& model)
{
    for (const auto& entry : Core::CatalogueOf<Model>().members) {
        if (IsPolicyBound(model, entry))
            continue;
        EntryPlace place = PlaceOf(model, entry);
        restorer.TrackAndClear(place.root, place.path, place.name);
    }
}

// 1-based position of an entry among the model's members, as the catalogue
// tables number them.
template <typename Model> int EntryNumber(const Core::SettingEntry<Model>& entry)
{
    const auto& members = Core::CatalogueOf<Model>().members;
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i] == entry)
            return static_cast<int>(i + 1);
    return 0;
}

// "4=0", "9=Deny", "-13": one step in the catalogue's own notation.
template <typename Model> std::string StepText(const Core::SettingStep<Model>& step)
{
    std::string number = std::to_string(EntryNumber(step.entry));
    if (step.kind == Core::SettingStep<Model>::Kind::Delete)
        return "-" + number;
    if (std::holds_alternative<Core::StringProperty Model::*>(step.entry))
        return number + "=" + std::string(step.text, step.text + wcslen(step.text));
    return number + "=" + std::to_string(step.number);
}

template <typename Model> std::string StepsText(const std::vector<Core::SettingStep<Model>>& steps)
{
    std::string text;
    for (const auto& step : steps)
        text += (text.empty() ? "" : " ") + StepText(step);
    return text;
}

// "1!=0 | 1=1 | -1", with " | restart" for rows that ask for a restart.
template <typename Model> std::string RowText(const Core::SettingRow<Model>& row)
{
    const auto& test = row.shownTicked;
    std::string text = std::to_string(EntryNumber(test.entry));
    if (test.kind == Core::SettingTest<Model>::Kind::NotZero)
        text += "!=0";
    else if (std::holds_alternative<Core::StringProperty Model::*>(test.entry))
        text += "==" + std::string(test.text, test.text + wcslen(test.text));
    else
        text += "==" + std::to_string(test.number);
    text += " | " + StepsText(row.tick) + " | " + StepsText(row.clear);
    if (row.asksRestart)
        text += " | restart";
    return text;
}

// A stored value in the notation of the catalogue tests: "-" absent, "2" a
// four-byte REG_DWORD, "'Deny'" a REG_SZ of exactly (length + 1) * 2 bytes
// with its terminating zero; anything else spelled out ("type 1, 7 bytes").
std::string StateText(const StoredValue& value);

// HKEY_LOCAL_MACHINE\SOFTWARE has a second, redirected copy in the 32-bit
// registry view, except SOFTWARE\Policies, which both views share. The
// catalogue values of that copy, in member order.
template <typename Model> std::vector<std::string> RedirectedStateOf(const Model& model)
{
    std::vector<std::string> state;
    for (const auto& entry : Core::CatalogueOf<Model>().members) {
        EntryPlace place = PlaceOf(model, entry);
        if (place.root == HKEY_LOCAL_MACHINE && _wcsnicmp(place.path.c_str(), L"SOFTWARE\\", 9) == 0 &&
            _wcsnicmp(place.path.c_str(), L"SOFTWARE\\Policies\\", 18) != 0)
            state.push_back(StateText(ReadStored(place.root, place.path, place.name, KEY_WOW64_32KEY)));
    }
    return state;
}

// The state of every member of a model, in member order; "(no root)" for a
// policy-bound member without a policy object.
template <typename Model> std::vector<std::string> StateOf(const Model& model)
{
    std::vector<std::string> state;
    for (const auto& entry : Core::CatalogueOf<Model>().members) {
        EntryPlace place = PlaceOf(model, entry);
        state.push_back(place.root ? StateText(ReadStored(place.root, place.path, place.name)) : "(no root)");
    }
    return state;
}

// What the steps should leave, applied to a state as above.
template <typename Model>
std::vector<std::string> AfterSteps(std::vector<std::string> state,
                                    const std::vector<Core::SettingStep<Model>>& steps)
{
    for (const auto& step : steps) {
        auto& slot = state.at(EntryNumber(step.entry) - 1);
        if (slot == "(no root)")
            continue;
        if (step.kind == Core::SettingStep<Model>::Kind::Delete)
            slot = "-";
        else if (std::holds_alternative<Core::StringProperty Model::*>(step.entry))
            slot = "'" + std::string(step.text, step.text + wcslen(step.text)) + "'";
        else
            slot = std::to_string(step.number);
    }
    return state;
}

// Registers tests\helpers\gpo_server as the local group policy object of the
// prefix for as long as the object lives, with its stored policy, the copies
// of the open objects and the call log in a scratch key of the current user.
class PolicyServer {
public:
    struct Options {
        bool failOpen = false;
        bool failKey = false;
        DWORD failSaves = 0; // the first saves that fail and write nothing
    };
    PolicyServer() : PolicyServer(Options{}) {}
    explicit PolicyServer(Options options);
    ~PolicyServer();
    PolicyServer(const PolicyServer&) = delete;
    PolicyServer& operator=(const PolicyServer&) = delete;

    // The stored policy of the machine ("Machine") or user ("User") section,
    // below HKEY_CURRENT_USER: what the last save wrote, not what an open
    // object holds.
    std::wstring SectionPath(bool machine) const;
    std::vector<std::wstring> Calls() const;
    // How many saves wrote the stored policy (gpt.ini's version).
    DWORD Version() const;
    // From here on creating the object fails, as where no editor exists.
    void Unregister();
    // What another policy tool does while the program runs: opens an object
    // of its own, sets one number of the machine section and saves.
    static void WriteAsAnotherTool(const std::wstring& keyPath, const std::wstring& name, DWORD value);

    static const wchar_t* const kClassKey; // below HKEY_LOCAL_MACHINE
    static const std::wstring kSaveArguments;

private:
    ScratchKey m_root;
};

} // namespace Tavrin::Test
