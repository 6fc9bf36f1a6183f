#pragma once
#include <windows.h>
#include <mstask.h>

#include <string>

namespace Tavrin::Net {

// What the update task's definition is made of, in the Task Scheduler's own
// XML form.
struct TaskDefinitionParts {
    std::wstring programPath;
    std::wstring arguments;
    std::wstring workingDirectory;
    std::wstring description;
};

// The account the update task runs as: LocalSystem, named by its SID, which
// every language of Windows spells the same. It is registered with the
// service-account logon (TASK_LOGON_SERVICE_ACCOUNT), so no password is
// stored.
constexpr wchar_t kUpdateTaskAccount[] = L"S-1-5-18";

// A task without triggers that runs the program as LocalSystem with the
// highest run level. It runs whoever is logged on, a standard user included,
// or no one, and whoever registered it: the account and the definition never
// depend on who runs the install. The program demands administrator rights;
// LocalSystem has them without a prompt, and the update mode shows nothing.
std::wstring TaskDefinitionXml(const TaskDefinitionParts& parts);

// Adds a weekly trigger to the definition. E_INVALIDARG for a trigger of
// another type or with fields this form does not carry (repetition, random
// delay); E_UNEXPECTED for a definition that cannot be read.
HRESULT AddTriggerToDefinition(std::wstring& xml, const TASK_TRIGGER& trigger);

} // namespace Tavrin::Net
