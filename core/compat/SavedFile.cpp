#include "core/compat/SavedFile.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "platform/UniqueHandle.h"

namespace Tavrin::Core::SavedFile {

namespace {

constexpr std::string_view kSignature = "serialization::archive";

// Follows the bytes the way the text archive reads them: numbers after any
// white space, a string's raw bytes after exactly one separator character.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : m_bytes(bytes) {}

    std::size_t Position() const { return m_position; }

    bool Number(std::uint64_t limit, std::uint64_t& value)
    {
        SkipWhiteSpace();
        std::size_t start = m_position;
        value = 0;
        while (m_position < m_bytes.size() && m_bytes[m_position] >= '0' && m_bytes[m_position] <= '9') {
            unsigned digit = static_cast<unsigned>(m_bytes[m_position] - '0');
            if (value > (limit - digit) / 10)
                return false;
            value = value * 10 + digit;
            ++m_position;
        }
        return m_position > start;
    }

    bool Expect(std::uint64_t expected)
    {
        std::uint64_t value = 0;
        return Number(std::numeric_limits<std::uint64_t>::max(), value) && value == expected;
    }

    // A counted run of characters: the count, one separator, then the data.
    bool Counted(std::size_t unitSize, std::string_view* data = nullptr)
    {
        std::uint64_t count = 0;
        if (!Number(std::numeric_limits<std::size_t>::max(), count))
            return false;
        if (m_position >= m_bytes.size())
            return false;
        ++m_position; // the separator, whatever character it is
        std::size_t left = m_bytes.size() - m_position;
        if (count > left / unitSize)
            return false;
        std::size_t length = static_cast<std::size_t>(count) * unitSize;
        if (data)
            *data = m_bytes.substr(m_position, length);
        m_position += length;
        return true;
    }

    bool OnlyWhiteSpaceLeft()
    {
        SkipWhiteSpace();
        return m_position == m_bytes.size();
    }

private:
    void SkipWhiteSpace()
    {
        while (m_position < m_bytes.size() && IsSpace(m_bytes[m_position]))
            ++m_position;
    }
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    std::string_view m_bytes;
    std::size_t m_position = 0;
};

bool CheckField(Cursor& cursor, Field field)
{
    std::uint64_t value = 0;
    switch (field) {
    case Field::Unsigned32:
        return cursor.Number(std::numeric_limits<std::uint32_t>::max(), value);
    case Field::WideText:
        return cursor.Counted(sizeof(wchar_t));
    }
    return false;
}

} // namespace

void WriteHeader(std::ostream& stream)
{
    stream << kSignature.size() << ' ' << kSignature << ' ' << kLibraryVersion << ' ';
}

bool CheckListFile(std::string_view bytes, const Field* fields, std::size_t fieldCount, ListShape& shape)
{
    Cursor cursor(bytes);
    std::string_view signature;
    if (!cursor.Counted(1, &signature) || signature != kSignature)
        return false;
    std::uint64_t version = 0;
    if (!cursor.Number(std::numeric_limits<std::uint64_t>::max(), version) ||
        version < kOldestReadableVersion || version > kLibraryVersion)
        return false;
    shape.libraryVersion = static_cast<unsigned>(version);
    shape.bodyOffset = cursor.Position();

    // The list's tracking flag and class version, its count, its element version.
    std::uint64_t count = 0;
    if (!cursor.Expect(0) || !cursor.Expect(0) ||
        !cursor.Number(std::numeric_limits<std::size_t>::max(), count) || !cursor.Expect(0))
        return false;
    // Every element takes at least one byte, so this loop ends as soon as the
    // file runs out, whatever count it announced.
    for (std::uint64_t i = 0; i < count; ++i) {
        if (i == 0 && (!cursor.Expect(0) || !cursor.Expect(0)))
            return false;
        for (std::size_t f = 0; f < fieldCount; ++f) {
            if (!CheckField(cursor, fields[f]))
                return false;
        }
    }
    if (!cursor.OnlyWhiteSpaceLeft())
        return false;
    shape.count = static_cast<std::size_t>(count);
    return true;
}

ReadState ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    Platform::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadState::Missing
                                                                              : ReadState::Unreadable;
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > bytes.max_size())
        return ReadState::Unreadable;
    try {
        bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    } catch (const std::bad_alloc&) {
        return ReadState::Unreadable;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[done], chunk, &read, nullptr))
            return ReadState::Unreadable;
        if (read == 0)
            break; // the file shrank while we read it
        done += read;
    }
    bytes.resize(done);
    return ReadState::Read;
}

unsigned long ReplaceWholeFile(const std::wstring& path, std::string_view bytes)
{
    // The folder may be one others can write to: the new file's name cannot
    // be guessed ahead, and it is only created where nothing has that name
    // yet, so that no file or link someone put there is written through.
    unsigned char random[16] = {};
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return ERROR_GEN_FAILURE;
    std::wstring temporary = path + L".";
    for (unsigned char byte : random) {
        temporary += L"0123456789abcdef"[byte >> 4];
        temporary += L"0123456789abcdef"[byte & 15];
    }
    temporary += L".new";

    Platform::UniqueHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return ::GetLastError();
    DWORD status = ERROR_SUCCESS;
    std::size_t done = 0;
    while (status == ERROR_SUCCESS && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr))
            status = ::GetLastError();
        else if (written == 0)
            status = ERROR_WRITE_FAULT;
        done += written;
    }
    // The bytes are on the disk before the name points at them, so a crash
    // leaves the old file or the whole new one.
    if (status == ERROR_SUCCESS && !::FlushFileBuffers(file.Get()))
        status = ::GetLastError();
    if (!::CloseHandle(file.Release()) && status == ERROR_SUCCESS)
        status = ::GetLastError();
    if (status == ERROR_SUCCESS &&
        !::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        status = ::GetLastError();
    if (status != ERROR_SUCCESS)
        ::DeleteFileW(temporary.c_str()); // removes a link itself, never what it points to
    return status;
}

} // namespace Tavrin::Core::SavedFile
