#include "app/CommandLineParser.h"

#include <windows.h>
#include <shellapi.h>

#include <cwctype>

#include "platform/Text.h"
#include "platform/UniqueHandle.h"

using Tavrin::Platform::EqualsIgnoreCase;
using Tavrin::Platform::TrimWhiteSpace;

namespace {

const std::wstring kSeparator = L"/-";
// "verify" and "scan" take none, and say so when given one.
const wchar_t* const kModesWithArgument[] = {L"export", L"apply", L"report", L"scan", L"verify"};

// Split as the C runtime splits a program's command line (quotes, and
// backslashes before them).
std::vector<std::wstring> SplitArguments(const std::wstring& text)
{
    std::vector<std::wstring> arguments;
    // A first argument would be read as a program's name, by other rules.
    const std::wstring line = L"x " + text;
    int count = 0;
    const Tavrin::Platform::LocalMemoryOf<wchar_t**> split(::CommandLineToArgvW(line.c_str(), &count));
    if (!split)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(split.Get()[i]);
    return arguments;
}

// The one option of a line that is a mode with arguments, or false.
bool ParseModeWithArgument(const std::wstring& line, CommandLineOption& option)
{
    for (const wchar_t* name : kModesWithArgument) {
        const std::wstring mode = name;
        if (line.size() <= mode.size() || !EqualsIgnoreCase(line.substr(1, mode.size()), mode))
            continue;
        const std::wstring rest = line.substr(1 + mode.size());
        if (!rest.empty() && !std::iswspace(rest.front()))
            continue;
        option.name = mode;
        option.arguments = SplitArguments(rest);
        return true;
    }
    return false;
}

std::list<std::wstring> SplitValues(const std::wstring& text)
{
    std::list<std::wstring> values;
    size_t position = 0;
    if (!text.empty() && text.front() == L',')
        position = 1;
    if (position >= text.size())
        return values;
    for (;;) {
        size_t comma = text.find(L',', position);
        std::wstring value =
            text.substr(position, comma == std::wstring::npos ? std::wstring::npos : comma - position);
        size_t end = value.find_last_not_of(L'"');
        value.resize(end == std::wstring::npos ? 0 : end + 1);
        values.push_back(value);
        if (comma == std::wstring::npos)
            break;
        position = comma + 1;
    }
    return values;
}

} // namespace

void CCommandLineParser::Parse(const std::wstring& commandLine)
{
    m_options.clear();
    if (commandLine.empty())
        return;
    CommandLineOption withArgument;
    if (ParseModeWithArgument(TrimWhiteSpace(commandLine), withArgument)) {
        m_options.push_back(std::move(withArgument));
        return;
    }

    size_t first = commandLine.find(kSeparator);
    std::wstring rest = first == std::wstring::npos ? commandLine : commandLine.substr(first);

    size_t start = 0;
    while (start < rest.size()) {
        size_t next = rest.find(kSeparator, start + 1);
        std::wstring piece = TrimWhiteSpace(
            rest.substr(start, next == std::wstring::npos ? std::wstring::npos : next - start));
        start = next == std::wstring::npos ? rest.size() : next;
        if (piece.empty())
            continue;

        CommandLineOption option;
        size_t colon = piece.find(L':');
        // The text before the colon, less its first character; a piece that
        // starts with the colon has no name at all.
        const std::wstring beforeColon = piece.substr(0, colon);
        option.name = beforeColon.empty() ? std::wstring() : beforeColon.substr(1);
        if (colon != std::wstring::npos)
            option.values = SplitValues(piece.substr(colon + 1));
        m_options.push_back(std::move(option));
    }
}

bool CCommandLineParser::HasOption(const std::wstring& name) const
{
    return Find(name) != nullptr;
}

const CommandLineOption* CCommandLineParser::Find(const std::wstring& name) const
{
    for (const CommandLineOption& option : m_options) {
        if (EqualsIgnoreCase(option.name, name))
            return &option;
    }
    return nullptr;
}
