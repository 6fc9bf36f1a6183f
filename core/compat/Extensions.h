#pragma once
#include <list>
#include <string>

#include "core/compat/SavedFile.h"

namespace Tavrin::Core {

// One file association the user chose in Explorer.
struct SavedExtension {
    std::wstring extension;   // the catalogue entry: the identity
    std::wstring progId;      // UserChoice "Progid"
    std::wstring hash;        // UserChoice "Hash"
    std::wstring openCommand; // the program identifier's open command
};

inline bool operator==(const SavedExtension& a, const SavedExtension& b)
{
    return a.extension == b.extension && a.progId == b.progId && a.hash == b.hash &&
           a.openCommand == b.openCommand;
}

template <class Archive>
void serialize(Archive& archive, SavedExtension& entry, const unsigned int /*version*/)
{
    archive& entry.extension& entry.progId& entry.hash& entry.openCommand;
}

extern const wchar_t kExtensionsFile[];

// The saved associations that are gone or name another program identifier
// now (exact, case-sensitive; the first current entry of an extension
// decides), in saved order, duplicates kept. Every saved entry is lost when
// nothing is associated now.
std::list<SavedExtension> FindLostAssociations(const std::list<SavedExtension>& saved,
                                               const std::list<SavedExtension>& current);

class Extensions {
public:
    Extensions(); // fills the catalogue
    virtual ~Extensions() = default;

    // Appends the current association of every catalogue entry that has one
    // with an open command, in catalogue order.
    void CollectAssociations();
    // Writes "./extensions.saved"; false when the file cannot be written.
    bool SaveAssociations(const std::wstring& path = kExtensionsFile) const;
    // The saved list; empty when the file is missing or damaged, which
    // state (when given) tells apart.
    static std::list<SavedExtension> LoadAssociations(const std::wstring& path = kExtensionsFile,
                                                      SavedFile::ReadState* state = nullptr);
    // saved (when given) receives what reading the file found.
    std::list<SavedExtension> LostAssociations(const std::wstring& path = kExtensionsFile,
                                               SavedFile::ReadState* saved = nullptr) const;

    std::list<std::wstring> catalogue;
    std::list<SavedExtension> current;
};

namespace SavedFile {
template <> struct Layout<SavedExtension> {
    static constexpr Field fields[] = {Field::WideText, Field::WideText, Field::WideText, Field::WideText};
};
} // namespace SavedFile

} // namespace Tavrin::Core
