#include "net/TaskDefinition.h"

#include <cwchar>
#include <sstream>

#include <pugixml.hpp>

namespace Tavrin::Net {

namespace {

constexpr wchar_t kTaskNamespace[] = L"http://schemas.microsoft.com/windows/2004/02/mit/task";

struct DayName {
    WORD flag;
    const wchar_t* name;
};
// In the order the schema lists them.
constexpr DayName kDays[] = {
    {TASK_SUNDAY, L"Sunday"},       {TASK_MONDAY, L"Monday"},     {TASK_TUESDAY, L"Tuesday"},
    {TASK_WEDNESDAY, L"Wednesday"}, {TASK_THURSDAY, L"Thursday"}, {TASK_FRIDAY, L"Friday"},
    {TASK_SATURDAY, L"Saturday"},
};

void AddText(pugi::xml_node parent, const wchar_t* name, const std::wstring& text)
{
    parent.append_child(name).text().set(text.c_str());
}

std::wstring Timestamp(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:00", year, month, day, hour, minute);
    return text;
}

std::wstring Save(const pugi::xml_document& document)
{
    std::wostringstream out;
    document.save(out, L"  ");
    return out.str();
}

} // namespace

std::wstring TaskDefinitionXml(const TaskDefinitionParts& parts)
{
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute(L"version") = L"1.0";
    declaration.append_attribute(L"encoding") = L"UTF-16";
    pugi::xml_node task = document.append_child(L"Task");
    task.append_attribute(L"version") = L"1.2";
    task.append_attribute(L"xmlns") = kTaskNamespace;

    AddText(task.append_child(L"RegistrationInfo"), L"Description", parts.description);

    pugi::xml_node principal = task.append_child(L"Principals").append_child(L"Principal");
    principal.append_attribute(L"id") = L"Author";
    // The task schema has no logon type for a service account: the
    // registration's logon type stands for it.
    AddText(principal, L"UserId", kUpdateTaskAccount);
    AddText(principal, L"RunLevel", L"HighestAvailable");

    // A task of the older interface started on batteries too.
    pugi::xml_node settings = task.append_child(L"Settings");
    AddText(settings, L"DisallowStartIfOnBatteries", L"false");
    AddText(settings, L"StopIfGoingOnBatteries", L"false");

    pugi::xml_node actions = task.append_child(L"Actions");
    actions.append_attribute(L"Context") = L"Author";
    pugi::xml_node exec = actions.append_child(L"Exec");
    AddText(exec, L"Command", parts.programPath);
    AddText(exec, L"Arguments", parts.arguments);
    AddText(exec, L"WorkingDirectory", parts.workingDirectory);
    return Save(document);
}

HRESULT AddTriggerToDefinition(std::wstring& xml, const TASK_TRIGGER& trigger)
{
    if (trigger.TriggerType != TASK_TIME_TRIGGER_WEEKLY || trigger.MinutesDuration != 0 ||
        trigger.MinutesInterval != 0 || trigger.wRandomMinutesInterval != 0 ||
        trigger.Type.Weekly.WeeksInterval == 0 || (trigger.Type.Weekly.rgfDaysOfTheWeek & 0x7F) == 0)
        return E_INVALIDARG;
    pugi::xml_document document;
    if (!document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_declaration))
        return E_UNEXPECTED;
    pugi::xml_node task = document.child(L"Task");
    if (!task)
        return E_UNEXPECTED;
    pugi::xml_node triggers = task.child(L"Triggers");
    if (!triggers) {
        pugi::xml_node info = task.child(L"RegistrationInfo");
        triggers = info ? task.insert_child_after(L"Triggers", info) : task.prepend_child(L"Triggers");
    }

    pugi::xml_node calendar = triggers.append_child(L"CalendarTrigger");
    AddText(calendar, L"StartBoundary",
            Timestamp(trigger.wBeginYear, trigger.wBeginMonth, trigger.wBeginDay, trigger.wStartHour,
                      trigger.wStartMinute));
    if (trigger.rgFlags & TASK_TRIGGER_FLAG_HAS_END_DATE)
        AddText(calendar, L"EndBoundary",
                Timestamp(trigger.wEndYear, trigger.wEndMonth, trigger.wEndDay, 23, 59));
    AddText(calendar, L"Enabled", (trigger.rgFlags & TASK_TRIGGER_FLAG_DISABLED) ? L"false" : L"true");
    pugi::xml_node weekly = calendar.append_child(L"ScheduleByWeek");
    AddText(weekly, L"WeeksInterval", std::to_wstring(trigger.Type.Weekly.WeeksInterval));
    pugi::xml_node days = weekly.append_child(L"DaysOfWeek");
    for (const DayName& day : kDays)
        if (trigger.Type.Weekly.rgfDaysOfTheWeek & day.flag)
            days.append_child(day.name);
    xml = Save(document);
    return S_OK;
}

} // namespace Tavrin::Net
