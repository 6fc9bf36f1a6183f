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
    std::wstring user;
};

// A task without triggers that runs the program for the user with the highest
// rights the user has, only while the user is logged on: the program demands
// administrator rights, and a task with the user's limited token cannot start
// it at all.
std::wstring TaskDefinitionXml(const TaskDefinitionParts& parts);

// Adds a weekly trigger to the definition. E_INVALIDARG for a trigger of
// another type or with fields this form does not carry (repetition, random
// delay); E_UNEXPECTED for a definition that cannot be read.
HRESULT AddTriggerToDefinition(std::wstring& xml, const TASK_TRIGGER& trigger);

} // namespace Tavrin::Net
