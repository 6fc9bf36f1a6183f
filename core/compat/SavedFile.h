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
#include <ios>
#include <list>
#include <sstream>
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

// What reading a saved file found. A file that is not there means nothing
// was recorded; one that is there but cannot be opened, read or followed by
// the layout to its end is unreadable, and says nothing about what it held.
enum class ReadState { Read, Missing, Unreadable };

// Reads a whole file: Read, Missing when there is no such file, else
// Unreadable.
ReadState ReadWholeFile(const std::wstring& path, std::string& bytes);

// Writes bytes to a new file beside path (a name no one can guess, created
// only if nothing has that name), flushes it to the disk and moves it over
// path. So path holds either all its old bytes or all the new ones, never
// part of them, whatever stops the write. When anything fails the new file
// is removed again. 0 (ERROR_SUCCESS) or the Win32 error.
unsigned long ReplaceWholeFile(const std::wstring& path, std::string_view bytes);

// How the archive's line ends reach the file: as written, or each LF as
// CR LF (what a text-mode stream writes on Windows).
enum class LineEnds { AsWritten, CrLf };

// An input stream buffer over bytes that are already in memory.
class MemoryStreamBuf : public std::streambuf {
public:
    MemoryStreamBuf(const char* data, std::size_t size)
    {
        char* begin = const_cast<char*>(data);
        setg(begin, begin, begin + size);
    }
};

// Writes one object as a whole archive: header, object, closing line end,
// replacing the file whole (ReplaceWholeFile). False when it cannot.
template <typename Object> bool SaveObject(const std::wstring& path, const Object& object, LineEnds lineEnds)
{
    std::string bytes;
    try {
        std::ostringstream stream(std::ios::out | std::ios::binary);
        WriteHeader(stream);
        {
            boost::archive::text_oarchive archive(stream, boost::archive::no_header);
            archive << object;
        } // the archive's destructor writes the closing line end
        if (!stream)
            return false;
        bytes = stream.str();
        if (lineEnds == LineEnds::CrLf) {
            std::string translated;
            translated.reserve(bytes.size() + bytes.size() / 8);
            for (char c : bytes) {
                if (c == '\n')
                    translated += '\r';
                translated += c;
            }
            bytes.swap(translated);
        }
    } catch (const std::exception&) {
        return false;
    }
    return ReplaceWholeFile(path, bytes) == 0;
}

template <typename Record> bool SaveList(const std::wstring& path, const std::list<Record>& records)
{
    return SaveObject(path, records, LineEnds::AsWritten);
}

// Reads a list file. Anything but a whole, well-formed file gives an empty
// list; state (when given) tells a missing file from an unreadable one.
template <typename Record> std::list<Record> LoadList(const std::wstring& path, ReadState* state = nullptr)
{
    ReadState ignored = ReadState::Read;
    ReadState& found = state ? *state : ignored;
    std::string bytes;
    found = ReadWholeFile(path, bytes);
    if (found != ReadState::Read)
        return {};
    found = ReadState::Unreadable; // until the whole file has been followed
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
    found = ReadState::Read;
    return records;
}

} // namespace Tavrin::Core::SavedFile
