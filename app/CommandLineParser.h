#pragma once
#include <list>
#include <string>
#include <vector>

struct CommandLineOption {
    std::wstring name;
    std::list<std::wstring> values;
    // The arguments after a space of a mode that takes them ("/apply FILE").
    std::vector<std::wstring> arguments;
};

// Splits a command line such as "/update" or "/-a:x,y /-b" into options.
// Pieces start at "/-" (everything before the first one is dropped); a
// piece's name is its text up to ":" without its leading character, and the
// text after ":" is a comma-separated list of values.
//
// The modes with an argument ("export", "apply", "report"), and "scan" and
// "verify", which refuse any, are read from the whole line instead: one
// leading character, the name, then, after white space, the arguments as a
// command line quotes them (a path may hold spaces, and
// "/-" too). The line then yields that one option.
class CCommandLineParser {
public:
    void Parse(const std::wstring& commandLine);
    // Whole-name, case-insensitive.
    bool HasOption(const std::wstring& name) const;
    // The option of that name (as HasOption finds it), or null.
    const CommandLineOption* Find(const std::wstring& name) const;
    const std::list<CommandLineOption>& Options() const { return m_options; }

private:
    std::list<CommandLineOption> m_options;
};
