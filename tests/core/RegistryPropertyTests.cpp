#include <gtest/gtest.h>

#include "core/settings/ChangeJournal.h"
#include "core/settings/RegistryProperty.h"
#include "tests/core/SettingsTestSupport.h"

using namespace Tavrin::Core;
using namespace Tavrin::Test;

namespace {

const wchar_t kValue[] = L"Setting";

// A key below HKEY_LOCAL_MACHINE\SOFTWARE, the branch Windows redirects for
// 32-bit programs, removed in both views afterwards.
class MachineScratchKey {
public:
    MachineScratchKey() : m_path(L"SOFTWARE\\TavrinTests\\View" + std::to_wstring(::GetCurrentProcessId())) {}
    ~MachineScratchKey()
    {
        DeleteTree(HKEY_LOCAL_MACHINE, m_path, KEY_WOW64_64KEY);
        DeleteTree(HKEY_LOCAL_MACHINE, m_path, KEY_WOW64_32KEY);
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_64KEY);
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavrinTests", KEY_WOW64_32KEY);
    }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

} // namespace

TEST(RegistryProperty, AbsentNumberReadsItsDefault)
{
    ScratchKey scratch;
    NumberProperty missingKey(HKEY_CURRENT_USER, scratch.Path() + L"\\Missing", kValue);
    NumberProperty missingValue(HKEY_CURRENT_USER, scratch.Path(), kValue);
    EXPECT_EQ(missingKey.defaultValue, 0u);
    EXPECT_EQ(missingKey.GetValue(), 0u);
    EXPECT_EQ(missingValue.GetValue(), 0u);
    missingKey.defaultValue = 1;
    missingValue.defaultValue = 1;
    EXPECT_EQ(missingKey.GetValue(), 1u);
    EXPECT_EQ(missingValue.GetValue(), 1u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Path() + L"\\Missing")) << "a read creates nothing";
}

TEST(RegistryProperty, NumberIsWrittenAsFourByteDwordAndReadBack)
{
    ScratchKey scratch;
    NumberProperty property(HKEY_CURRENT_USER, scratch.Path(), kValue);
    property.SetValue(0x12345678);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, scratch.Path(), kValue).IsDword(0x12345678));
    EXPECT_EQ(property.GetValue(), 0x12345678u);
}

TEST(RegistryProperty, WriteCreatesEveryMissingLevelOfTheKeyPath)
{
    ScratchKey scratch;
    const std::wstring deep = scratch.Path() + L"\\One\\Two\\Three";
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Path() + L"\\One"));
    NumberProperty property(HKEY_CURRENT_USER, deep, kValue);
    property.SetValue(4);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, deep, kValue).IsDword(4));
}

TEST(RegistryProperty, DenyIsStoredAsRegSzOfTenBytesAndReadBack)
{
    ScratchKey scratch;
    StringProperty property(scratch.Path(), L"Value");
    EXPECT_EQ(property.RootKey(), HKEY_CURRENT_USER) << "strings always belong to the current user";
    EXPECT_EQ(property.defaultValue, L"");
    property.SetValue(L"Deny");
    StoredValue stored = ReadStored(HKEY_CURRENT_USER, scratch.Path(), L"Value");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.data.size(), 10u);
    EXPECT_TRUE(stored.IsString(L"Deny"));
    EXPECT_EQ(property.GetValue(), L"Deny");
}

TEST(RegistryProperty, AbsentStringReadsEmpty)
{
    ScratchKey scratch;
    StringProperty missingKey(scratch.Path() + L"\\Missing", L"Value");
    StringProperty missingValue(scratch.Path(), L"Value");
    EXPECT_EQ(missingKey.GetValue(), L"");
    EXPECT_EQ(missingValue.GetValue(), L"");
}

TEST(RegistryProperty, StringStoredAsDwordReadsEmpty)
{
    ScratchKey scratch;
    WriteDword(HKEY_CURRENT_USER, scratch.Path(), L"Value", 0x796E6544); // "Deny" in ANSI bytes
    StringProperty property(scratch.Path(), L"Value");
    EXPECT_EQ(property.GetValue(), L"");
}

// A number whose stored value has another type, or a REG_DWORD of another
// size, reads as absent: the stray bytes are not a setting.
TEST(RegistryProperty, NumberStoredWithAnotherTypeReadsItsDefault)
{
    ScratchKey scratch;
    NumberProperty property(HKEY_CURRENT_USER, scratch.Path(), kValue);
    const BYTE four[] = {0x02, 0x00, 0x00, 0x00};
    const ULONGLONG quad = 2;
    const wchar_t text[] = L"2";
    const wchar_t shortText[] = L"";
    const BYTE two[] = {0x02, 0x00};
    struct Case {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {
        {"REG_BINARY of four bytes", REG_BINARY, four, sizeof(four)},
        {"REG_SZ", REG_SZ, text, sizeof(text)},
        {"REG_SZ shorter than four bytes", REG_SZ, shortText, sizeof(shortText)},
        {"REG_QWORD", REG_QWORD, &quad, sizeof(quad)},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, four, sizeof(four)},
        {"REG_DWORD of two bytes", REG_DWORD, two, sizeof(two)},
    };
    for (const auto& c : cases) {
        WriteStored(HKEY_CURRENT_USER, scratch.Path(), kValue, c.type, c.data, c.size);
        property.defaultValue = 0;
        EXPECT_EQ(property.GetValue(), 0u) << c.what;
        property.defaultValue = 1;
        EXPECT_EQ(property.GetValue(), 1u) << c.what;
    }
}

TEST(RegistryProperty, StringWithoutTerminatingZeroIsReadWhole)
{
    ScratchKey scratch;
    const wchar_t text[] = {L'D', L'e', L'n', L'y'};
    WriteStored(HKEY_CURRENT_USER, scratch.Path(), L"Value", REG_SZ, text, sizeof(text));
    StringProperty property(scratch.Path(), L"Value");
    EXPECT_EQ(property.GetValue(), L"Deny");
}

TEST(RegistryProperty, StringIsCutAtItsFirstZero)
{
    ScratchKey scratch;
    const wchar_t text[] = L"Deny\0Allow";
    WriteStored(HKEY_CURRENT_USER, scratch.Path(), L"Value", REG_SZ, text, sizeof(text));
    StringProperty property(scratch.Path(), L"Value");
    EXPECT_EQ(property.GetValue(), L"Deny");
}

TEST(RegistryProperty, StringOfAnOddByteCountKeepsItsWholeCharacters)
{
    ScratchKey scratch;
    const wchar_t text[] = {L'D', L'e', L'n', L'y'};
    WriteStored(HKEY_CURRENT_USER, scratch.Path(), L"Value", REG_SZ, text, 7);
    StringProperty property(scratch.Path(), L"Value");
    std::wstring read = property.GetValue();
    EXPECT_EQ(read.substr(0, 3), L"Den");
    EXPECT_LE(read.size(), 4u);
}

TEST(RegistryProperty, ExpandableStringCountsAndIsNotExpanded)
{
    ScratchKey scratch;
    const wchar_t text[] = L"%SystemRoot%";
    WriteStored(HKEY_CURRENT_USER, scratch.Path(), L"Value", REG_EXPAND_SZ, text, sizeof(text));
    StringProperty property(scratch.Path(), L"Value");
    EXPECT_EQ(property.GetValue(), L"%SystemRoot%");
}

TEST(RegistryProperty, LongStringIsReadWhole)
{
    ScratchKey scratch;
    std::wstring text(5000, L'x');
    WriteString(HKEY_CURRENT_USER, scratch.Path(), L"Value", text);
    StringProperty property(scratch.Path(), L"Value");
    EXPECT_EQ(property.GetValue(), text);
}

TEST(RegistryProperty, EveryReadAsksTheRegistryAgain)
{
    ScratchKey scratch;
    NumberProperty number(HKEY_CURRENT_USER, scratch.Path(), kValue);
    StringProperty text(scratch.Path(), L"Value");
    number.SetValue(1);
    text.SetValue(L"Deny");
    WriteDword(HKEY_CURRENT_USER, scratch.Path(), kValue, 7);
    WriteString(HKEY_CURRENT_USER, scratch.Path(), L"Value", L"Allow");
    EXPECT_EQ(number.GetValue(), 7u);
    EXPECT_EQ(text.GetValue(), L"Allow");
    DeleteStored(HKEY_CURRENT_USER, scratch.Path(), kValue);
    EXPECT_EQ(number.GetValue(), 0u);
}

TEST(RegistryProperty, DeleteRemovesTheValueButNotTheKey)
{
    ScratchKey scratch;
    const std::wstring path = scratch.Path() + L"\\Settings";
    NumberProperty property(HKEY_CURRENT_USER, path, kValue);
    WriteDword(HKEY_CURRENT_USER, path, kValue, 1);
    WriteDword(HKEY_CURRENT_USER, path, L"Neighbour", 5);
    EXPECT_EQ(property.DeleteValue(), ERROR_SUCCESS);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, path, kValue).present);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, path, L"Neighbour").IsDword(5));
}

TEST(RegistryProperty, DeletingAnAbsentValueDoesNotCreateItsKey)
{
    ScratchKey scratch;
    const std::wstring path = scratch.Path() + L"\\Missing\\Deeper";
    NumberProperty number(HKEY_CURRENT_USER, path, kValue);
    StringProperty text(path, L"Value");
    EXPECT_EQ(number.DeleteValue(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text.DeleteValue(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Path() + L"\\Missing"));

    // The key exists but the value does not: nothing changes either.
    WriteDword(HKEY_CURRENT_USER, scratch.Path(), L"Neighbour", 3);
    NumberProperty absent(HKEY_CURRENT_USER, scratch.Path(), kValue);
    EXPECT_EQ(absent.DeleteValue(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, scratch.Path(), L"Neighbour").IsDword(3));
}

TEST(RegistryProperty, EnsureKeyOpensOrCreates)
{
    ScratchKey scratch;
    const std::wstring path = scratch.Path() + L"\\A\\B";
    EXPECT_EQ(EnsureKey(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path));
    EXPECT_EQ(EnsureKey(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    EXPECT_NE(EnsureKey(nullptr, path), ERROR_SUCCESS);
}

TEST(RegistryProperty, MachineValuesLandInThe64BitView)
{
    MachineScratchKey scratch;
    NumberProperty number(HKEY_LOCAL_MACHINE, scratch.Path(), kValue);
    number.SetValue(9);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, scratch.Path(), kValue, KEY_WOW64_64KEY).IsDword(9));
    EXPECT_FALSE(ReadStored(HKEY_LOCAL_MACHINE, scratch.Path(), kValue, KEY_WOW64_32KEY).present)
        << "written to the redirected 32-bit view";

    // A value only the 32-bit view holds is not what the property reads.
    NumberProperty other(HKEY_LOCAL_MACHINE, scratch.Path(), L"Other");
    WriteStored(HKEY_LOCAL_MACHINE, scratch.Path(), L"Other", REG_DWORD, "\x05\0\0\0", 4, KEY_WOW64_32KEY);
    ASSERT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, scratch.Path(), L"Other", KEY_WOW64_32KEY).IsDword(5));
    EXPECT_EQ(other.GetValue(), 0u);
    EXPECT_NE(other.DeleteValue(), ERROR_SUCCESS);
    EXPECT_TRUE(ReadStored(HKEY_LOCAL_MACHINE, scratch.Path(), L"Other", KEY_WOW64_32KEY).IsDword(5));
}

// A session user whose hive is not loaded: their values are neither read
// nor written, and none goes into the process's own hive in their stead.
TEST(RegistryPropertyOfTheSessionUser, WithoutTheirHiveNothingIsReadOrWritten)
{
    ClearedJournal journal;
    ScratchKey scratch;
    WriteDword(HKEY_CURRENT_USER, scratch.Path(), kValue, 7);
    WriteString(HKEY_CURRENT_USER, scratch.Path(), L"Value", L"Allow");
    const std::vector<std::string> before = ExportTree(HKEY_CURRENT_USER, scratch.Path());
    SessionUserOverride session(L"S-1-5-21-1111111111-2222222222-3333333333-1002", L"Bob");
    NumberProperty number(HKEY_CURRENT_USER, scratch.Path(), kValue);
    StringProperty text(scratch.Path(), L"Value");
    EXPECT_EQ(number.GetValue(), 0u);
    EXPECT_EQ(text.GetValue(), L"");
    EXPECT_NE(number.SetValue(1), ERROR_SUCCESS);
    EXPECT_NE(text.SetValue(L"Deny"), ERROR_SUCCESS);
    EXPECT_NE(number.DeleteValue(), ERROR_SUCCESS);
    EXPECT_EQ(ExportTree(HKEY_CURRENT_USER, scratch.Path()), before);
    EXPECT_FALSE(JournalHoldsEntries());
}
