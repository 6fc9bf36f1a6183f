#pragma once
#include <list>
#include <string>

struct CommandLineOption {
    std::wstring name;
    std::list<std::wstring> values;
};

// Splits a command line such as "/update" or "/-a:x,y /-b" into options.
// Pieces start at "/-" (everything before the first one is dropped); a
// piece's name is its text up to ":" without its leading character, and the
// text after ":" is a comma-separated list of values.
class CCommandLineParser {
public:
    void Parse(const std::wstring& commandLine);
    // Whole-name, case-insensitive.
    bool HasOption(const std::wstring& name) const;
    const std::list<CommandLineOption>& Options() const { return m_options; }

private:
    std::list<CommandLineOption> m_options;
};
