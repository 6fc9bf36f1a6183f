#include "app/CommandLineParser.h"

#include "platform/Text.h"

using Tavrin::Platform::EqualsIgnoreCase;
using Tavrin::Platform::TrimWhiteSpace;

namespace {

const std::wstring kSeparator = L"/-";

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
    for (const CommandLineOption& option : m_options) {
        if (EqualsIgnoreCase(option.name, name))
            return true;
    }
    return false;
}
