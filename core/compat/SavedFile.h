#pragma once
// The one layout every "*.saved" file shares: a Boost.Serialization text
// archive of library version 13. Files written before the upgrade are read by
// the program after it, so the bytes are fixed whatever Boost we link.

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/serialization/list.hpp>
#include <boost/serialization/string.hpp>

#include <cstddef>
#include <exception>
#include <fstream>
#include <ios>
#include <list>
#include <streambuf>
#include <string>
#include <string_view>

namespace Tavrin::Core::SavedFile {

// The library version written into every file; the Boost we build against
// writes its own, newer number, so the header is written and checked here.
constexpr unsigned kLibraryVersion = 13;
// The oldest version whose lists carry an element version, which every file
// of this program has.
constexpr unsigned kOldestReadableVersion = 4;

// What one field of a record looks like in a file.
enum class Field {
    Unsigned32, // decimal digits
    WideText,   // count, one separator, 2 x count raw UTF-16LE bytes
};

// Each record stored in a list file declares its fields, in file order:
//   template <> struct Layout<Record> { static constexpr Field fields[] = {...}; };
template <typename Record> struct Layout;

// Writes "22 serialization::archive 13 " (the archive, opened without its own
// header, puts no blank before its first token).
void WriteHeader(std::ostream& stream);

struct ListShape {
    std::size_t bodyOffset = 0; // first byte after the library version
    unsigned libraryVersion = 0;
    std::size_t count = 0;
};

// Walks the whole file by the layout before anything is allocated for it: a
// file passes only when every list element and every string it announces is
// really there. Damaged files (truncated, another signature, another library
// version, impossible counts, garbage) fail here.
bool CheckListFile(std::string_view bytes, const Field* fields, std::size_t fieldCount, ListShape& shape);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// An input stream buffer over bytes that are already in memory.
class MemoryStreamBuf : public std::streambuf {
public:
    MemoryStreamBuf(const char* data, std::size_t size)
    {
        char* begin = const_cast<char*>(data);
        setg(begin, begin, begin + size);
    }
};

// Writes one object as a whole archive: header, object, closing line end.
// Truncates the file. False when the file cannot be written.
template <typename Object>
bool SaveObject(const std::wstring& path, const Object& object, std::ios::openmode mode)
{
    std::ofstream file(path.c_str(), mode | std::ios::out | std::ios::trunc);
    if (!file)
        return false;
    try {
        WriteHeader(file);
        {
            boost::archive::text_oarchive archive(file, boost::archive::no_header);
            archive << object;
        } // the archive's destructor writes the closing line end
        file.close();
        return !file.fail();
    } catch (const std::exception&) {
        return false;
    }
}

template <typename Record> bool SaveList(const std::wstring& path, const std::list<Record>& records)
{
    return SaveObject(path, records, std::ios::binary);
}

// Reads a list file; any file that cannot be opened or does not follow the
// layout gives an empty list.
template <typename Record> std::list<Record> LoadList(const std::wstring& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return {};
    constexpr auto& fields = Layout<Record>::fields;
    ListShape shape;
    if (!CheckListFile(bytes, fields, std::size(fields), shape))
        return {};
    std::list<Record> records;
    try {
        MemoryStreamBuf buffer(bytes.data() + shape.bodyOffset, bytes.size() - shape.bodyOffset);
        std::istream stream(&buffer);
        boost::archive::text_iarchive archive(stream, boost::archive::no_header);
        archive.set_library_version(boost::serialization::library_version_type(shape.libraryVersion));
        archive >> records;
        // A short read of string bytes raises nothing; only the stream knows.
        if (stream.fail() || records.size() != shape.count)
            return {};
    } catch (const std::exception&) {
        return {};
    }
    return records;
}

} // namespace Tavrin::Core::SavedFile
