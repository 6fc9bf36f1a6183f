#pragma once
#include <windows.h>

#include <string>
#include <variant>
#include <vector>

#include "core/settings/ChosenStates.h"
#include "core/settings/JournalLock.h"
#include "core/settings/RegistryProperty.h"

// Settings catalogues: what each check box of a settings page reads and writes.
//
// A settings model (CPrivacy, CSecurity, CLocation, CThemeSettings) is a plain
// collection of registry properties. Its catalogue, CatalogueOf<Model>(), says
// in data what the page does with them:
//   rows   one per check box, in page order: its stable name (what profiles
//          and administrators call it; never renamed once released, since
//          saved profiles name it), the control id, the test that
//          decides whether the box is shown ticked, the writes and deletes of a
//          click that ticks the box and of one that clears it (in this order),
//          and whether a click asks for a restart of Windows;
//   reset  the writes and deletes of "Reset to Windows Defaults", in order;
//   members every property of the model in member order (for tests and
//          tools that walk a whole catalogue).
// Rows come in the order the page sets its boxes at initialisation: control
// id order, except on the theme page (1006, 1007, 1008, 1010, 1009, 1012,
// 1013, 1016, its buttons' member order).
//
// What a page does:
//   initialisation   for (const auto& row : CatalogueOf<M>().rows) {
//                        SetCheck(row.controlId, IsTicked(model, row));
//                        Enable(row.controlId, IsAvailable(model, row));
//                    }
//   BN_CLICKED id    if (const auto* row = FindRow<M>(id)) {
//                        Apply(model, *row, GetCheck(id) == BST_CHECKED);
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
    int controlId;
    SettingTest<Model> shownTicked;
    std::vector<SettingStep<Model>> tick;
    std::vector<SettingStep<Model>> clear;
    bool asksRestart = false;
};

template <typename Model> struct SettingsCatalogue {
    std::vector<SettingEntry<Model>> members; // every property, in member order
    std::vector<SettingRow<Model>> rows;      // in page order
    std::vector<SettingStep<Model>> reset;
};

// Defined once per model, beside its members.
template <typename Model> const SettingsCatalogue<Model>& CatalogueOf();

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

// The row of a control, or null for a control that is not a row.
template <typename Model> const SettingRow<Model>* FindRow(int controlId)
{
    for (const auto& row : CatalogueOf<Model>().rows)
        if (row.controlId == controlId)
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
