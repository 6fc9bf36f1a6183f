#pragma once
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/settings/ChosenStates.h"
#include "core/settings/JournalLock.h"
#include "core/settings/RegistryProperty.h"

// Settings catalogues: what each check box of a settings page reads and writes.
//
// A settings model (CPrivacy, CSecurity, CLocation, CThemeSettings) is a plain
// collection of registry properties. Its catalogue, CatalogueOf<Model>(), says
// in data everything else about them:
//   table  every property of the model, in member order, once each: where
//          its value lives, what it reads as when nothing is stored, and what
//          "Reset to Windows Defaults" does with it (by default: removes it).
//          The model's constructor places its members from this table
//          (BindMembers), and the member list (`members`, what tests and
//          tools walk) and the reset are derived from it;
//   rows   one per check box, in page order: its stable name (what profiles,
//          administrators and the pages call it; never renamed once
//          released, since saved profiles name it), the test that decides
//          whether the box is shown ticked, the writes and deletes of a click
//          that ticks the box and of one that clears it (in this order), and
//          whether a click asks for a restart of Windows;
//   reset  the writes and deletes of "Reset to Windows Defaults": each
//          member's reset step, members kept on reset left out, in member
//          order unless the members say where the reset takes them.
// Rows come in the order the page sets its boxes at initialisation. Which box
// shows which row is the page's business: the pages map row names to their
// control ids.
//
// What a page does:
//   initialisation   for each box with a row:
//                        SetCheck(box, IsTicked(model, row));
//                        Enable(box, IsAvailable(model, row));
//   BN_CLICKED box   if (const auto* row = FindRow<M>(name of the box's row)) {
//                        Apply(model, *row, GetCheck(box) == BST_CHECKED);
//                        if (row->asksRestart) app.restartRequired = true;
//                    }
//   reset button     Reset(model), and clear the boxes before (privacy page)
//                    or after it (the other pages); boxes that are not rows
//                    (the hidden theme box 1015) are the page's own business.
// Nothing here reads the registry at construction or caches a state: IsTicked
// asks the registry each time, Apply and Reset change it at once and return
// the first status that failed (ERROR_SUCCESS when every step went through);
// the caller decides what the page shows. A row whose values cannot be had
// at all (IsAvailable: the policy object missing) is shown disabled. The
// run's restore point is not taken here: callers wait for it first
// (RunRestorePoint::Start and its gate), and pages run Apply and Reset on a
// thread of their own. Building a model does no COM work; the privacy and
// theme models read through the process's local group policy object, which
// the first read of a policy-bound value opens on the calling thread, and
// each change of one loads, saves and releases a policy object of its own.

namespace Tavrin::Core {

// A member of a settings model, named by pointer to member so that the tables
// read like the catalogue they come from.
template <typename Model> using SettingEntry = std::variant<NumberProperty Model::*, StringProperty Model::*>;

// One write or delete.
template <typename Model> struct SettingStep {
    enum class Kind { Write, Delete };
    SettingEntry<Model> entry;
    Kind kind;
    DWORD number = 0;          // written to a number entry
    const wchar_t* text = L""; // written to a string entry
};

// When a box is shown ticked: a number is not 0, or an entry equals a value
// (strings compare exactly, case included).
template <typename Model> struct SettingTest {
    enum class Kind { NotZero, Equals };
    SettingEntry<Model> entry;
    Kind kind;
    DWORD number = 0;
    const wchar_t* text = L"";
};

template <typename Model> struct SettingRow {
    const char* name; // "page.setting", lower case, unique over all pages
    SettingTest<Model> shownTicked;
    std::vector<SettingStep<Model>> tick;
    std::vector<SettingStep<Model>> clear;
    bool asksRestart = false;
};

// Builders for the tables.
template <typename Model> SettingStep<Model> Set(NumberProperty Model::*entry, DWORD value)
{
    return {entry, SettingStep<Model>::Kind::Write, value, L""};
}
template <typename Model> SettingStep<Model> Set(StringProperty Model::*entry, const wchar_t* value)
{
    return {entry, SettingStep<Model>::Kind::Write, 0, value};
}
template <typename Model, typename Value> SettingStep<Model> Remove(CRegistryProperty<Value> Model::*entry)
{
    return {entry, SettingStep<Model>::Kind::Delete, 0, L""};
}

// A member of a model, stated once: its place, what it reads as when nothing
// is stored, and its step in "Reset to Windows Defaults".
template <typename Model> struct SettingMember {
    SettingEntry<Model> entry;
    HKEY root; // HKCU: the hive of the user whose settings this run shows
    std::wstring keyPath;
    const wchar_t* valueName;
    PolicyBinding binding = PolicyBinding::None;
    DWORD defaultNumber = 0;                   // numbers; strings read as "" when absent
    std::optional<SettingStep<Model>> onReset; // none: the reset leaves it as it is
    int resetPosition = 0;                     // see ResetAt

    SettingMember& DefaultsTo(DWORD value)
    {
        defaultNumber = value;
        return *this;
    }
    // Written in a section of the local group policy object rather than in
    // the registry as it is; the root is then not used.
    SettingMember& InPolicy(PolicyBinding section)
    {
        binding = section;
        return *this;
    }
    // The reset writes a value rather than removing it. A value of the
    // other type than the member's stops the catalogue from being built
    // (std::bad_variant_access), at the first use of its page.
    SettingMember& ResetTo(DWORD value)
    {
        onReset = Set(std::get<NumberProperty Model::*>(entry), value);
        return *this;
    }
    template <size_t N> SettingMember& ResetTo(const wchar_t (&text)[N])
    {
        onReset = Set(std::get<StringProperty Model::*>(entry), text);
        return *this;
    }
    SettingMember& KeptOnReset()
    {
        onReset.reset();
        return *this;
    }
    // Where the reset takes the member when the page's reset has an order of
    // its own (1 first); members without one come first, in member order.
    SettingMember& ResetAt(int position)
    {
        resetPosition = position;
        return *this;
    }
};

template <typename Model> struct SettingsCatalogue {
    SettingsCatalogue(std::vector<SettingMember<Model>> table, std::vector<SettingRow<Model>> rows)
        : table(std::move(table)), rows(std::move(rows))
    {
        std::vector<const SettingMember<Model>*> order;
        for (const auto& member : this->table) {
            members.push_back(member.entry);
            if (member.onReset)
                order.push_back(&member);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto* a, const auto* b) { return a->resetPosition < b->resetPosition; });
        for (const auto* member : order)
            reset.push_back(*member->onReset);
    }

    std::vector<SettingMember<Model>> table; // every property, in member order
    std::vector<SettingRow<Model>> rows;     // in page order
    // Derived from the table.
    std::vector<SettingEntry<Model>> members;
    std::vector<SettingStep<Model>> reset;
};

// Defined once per model, beside its members.
template <typename Model> const SettingsCatalogue<Model>& CatalogueOf();

// A member's table entry; the reset removes it unless the entry says
// otherwise. Strings live below HKCU.
template <typename Model, typename Value>
SettingMember<Model> Member(CRegistryProperty<Value> Model::*entry, HKEY root, std::wstring keyPath,
                            const wchar_t* valueName)
{
    return {entry, root, std::move(keyPath), valueName, PolicyBinding::None, 0, Remove(entry), 0};
}

template <typename Model> SettingTest<Model> NotZero(NumberProperty Model::*entry)
{
    return {entry, SettingTest<Model>::Kind::NotZero, 0, L""};
}
template <typename Model> SettingTest<Model> Equals(NumberProperty Model::*entry, DWORD value)
{
    return {entry, SettingTest<Model>::Kind::Equals, value, L""};
}
template <typename Model> SettingTest<Model> Equals(StringProperty Model::*entry, const wchar_t* value)
{
    return {entry, SettingTest<Model>::Kind::Equals, 0, value};
}

// Places every member of a model as its catalogue says; a model's
// constructor calls it.
template <typename Model> void BindMembers(Model& model)
{
    for (const auto& member : CatalogueOf<Model>().table)
        std::visit(
            [&](auto entry) {
                auto& property = model.*entry;
                property.Bind(member.root, member.keyPath, member.valueName, member.binding);
                if constexpr (std::is_same_v<decltype(entry), NumberProperty Model::*>)
                    property.defaultValue = member.defaultNumber;
            },
            member.entry);
}

// The row of that stable name, or null.
template <typename Model> const SettingRow<Model>* FindRow(std::string_view name)
{
    for (const auto& row : CatalogueOf<Model>().rows)
        if (name == row.name)
            return &row;
    return nullptr;
}

template <typename Model> bool IsTicked(const Model& model, const SettingRow<Model>& row)
{
    const auto& test = row.shownTicked;
    if (auto number = std::get_if<NumberProperty Model::*>(&test.entry)) {
        DWORD value = (model.**number).GetValue();
        return test.kind == SettingTest<Model>::Kind::NotZero ? value != 0 : value == test.number;
    }
    return (model.*std::get<StringProperty Model::*>(test.entry)).GetValue() == test.text;
}

// Whether every value the row reads or writes has a root; a row bound to a
// policy object that cannot be had would tick and write nothing.
template <typename Model> bool IsAvailable(const Model& model, const SettingRow<Model>& row)
{
    auto reachable = [&](const SettingEntry<Model>& entry) {
        return std::visit([&](auto member) { return (model.*member).RootKey() != nullptr; }, entry);
    };
    if (!reachable(row.shownTicked.entry))
        return false;
    for (const auto* steps : {&row.tick, &row.clear})
        for (const auto& step : *steps)
            if (!reachable(step.entry))
                return false;
    return true;
}

template <typename Model> LSTATUS RunStep(Model& model, const SettingStep<Model>& step)
{
    // The journal entry and the change it describes are one step for every
    // other copy of the program: an undo never comes between them.
    const JournalLock hold;
    if (hold.Status() != ERROR_SUCCESS)
        return hold.Status();
    const bool remove = step.kind == SettingStep<Model>::Kind::Delete;
    if (auto number = std::get_if<NumberProperty Model::*>(&step.entry))
        return remove ? (model.**number).DeleteValue() : (model.**number).SetValue(step.number);
    auto& property = model.*std::get<StringProperty Model::*>(step.entry);
    return remove ? property.DeleteValue() : property.SetValue(step.text);
}

// Whether a step's status means the change did not happen. Deleting a value
// or a key that is not there leaves the registry as the step wants it.
inline bool StepFailed(LSTATUS status)
{
    return status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND;
}

// One after another; a step that fails does not stop the others and nothing
// is undone. Returns the first failure, or ERROR_SUCCESS.
template <typename Model> LSTATUS RunSteps(Model& model, const std::vector<SettingStep<Model>>& steps)
{
    LSTATUS first = ERROR_SUCCESS;
    for (const auto& step : steps) {
        const LSTATUS status = RunStep(model, step);
        if (StepFailed(status) && first == ERROR_SUCCESS)
            first = status;
    }
    return first;
}

// Runs the steps and records what the rows show afterwards as the user's
// choice (ChosenStates): the row of that name, or with `wholePage` every row
// of its page. All under one hold of the journal's lock, so a check of
// another copy never sees the change without its record.
template <typename Model>
LSTATUS RunStepsAndRecord(Model& model, const std::vector<SettingStep<Model>>& steps, const char* row,
                          bool wholePage)
{
    const JournalLock hold;
    if (hold.Status() != ERROR_SUCCESS)
        return hold.Status();
    const LSTATUS status = RunSteps(model, steps);
    // A change that did not go through is no choice; the record keeps the last one.
    if (status == ERROR_SUCCESS)
        RecordChosenRows(row, wholePage);
    return status;
}

// A click: the box's new state alone decides, the registry is not read first.
template <typename Model> LSTATUS Apply(Model& model, const SettingRow<Model>& row, bool ticked)
{
    return RunStepsAndRecord(model, ticked ? row.tick : row.clear, row.name, false);
}

// Some rows keep their values through a reset: what they show afterwards is recorded.
template <typename Model> LSTATUS Reset(Model& model)
{
    const SettingsCatalogue<Model>& catalogue = CatalogueOf<Model>();
    return RunStepsAndRecord(model, catalogue.reset, catalogue.rows.front().name, true);
}

} // namespace Tavrin::Core
