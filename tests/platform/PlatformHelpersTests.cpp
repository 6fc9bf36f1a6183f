// The platform helpers every layer builds on: registry keys, owned handles,
// text conversion and module paths, against the real Win32 calls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Module.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Platform;
using Tavrin::Test::ScratchKey;

namespace {

// Events of this process's own names: whether one is still open shows in
// its name, which another thread's new handle cannot take over as it can
// take over a closed handle's number.
std::wstring EventName(const wchar_t* which)
{
    return L"Local\\TavrinOwnedHandles-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + which;
}

HANDLE NamedEvent(const wchar_t* which)
{
    return ::CreateEventW(nullptr, TRUE, FALSE, EventName(which).c_str());
}

bool IsOpen(const wchar_t* which)
{
    UniqueHandle opened(::OpenEventW(SYNCHRONIZE, FALSE, EventName(which).c_str()));
    return opened.IsValid();
}

} // namespace

TEST(RegKeyHandle, CreateMakesTheWholePathAndAFailedOpenLeavesTheKeyClosed)
{
    ScratchKey scratch;
    const std::wstring deep = scratch.Path() + L"\\one\\two";
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, deep, KEY_ALL_ACCESS), ERROR_SUCCESS);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_EQ(key.SetDword(L"count", 7), ERROR_SUCCESS);

    // A failed open drops the key held before, rather than keeping a stale one.
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, scratch.Path() + L"\\absent", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.Get(), nullptr);

    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, deep, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryDword(L"count"), 7u);
}

TEST(RegKeyHandle, MovingHandsTheKeyOverAndClosesTheTargetsOwn)
{
    ScratchKey scratch;
    RegKey first, second;
    ASSERT_EQ(first.Open(HKEY_CURRENT_USER, scratch.Path(), KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(second.Open(HKEY_CURRENT_USER, scratch.Path(), KEY_READ), ERROR_SUCCESS);
    const HKEY moved = first.Get();
    second = std::move(first);
    EXPECT_EQ(second.Get(), moved);
    EXPECT_FALSE(first.IsOpen());
    RegKey third(std::move(second));
    EXPECT_EQ(third.Get(), moved);
    EXPECT_FALSE(second.IsOpen());
}

TEST(RegKeyValues, TypedReadsAnswerOnlyForTheirOwnWellFormedType)
{
    ScratchKey scratch;
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, scratch.Path(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    const BYTE shortDword[2] = {1, 0};
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated),
                               sizeof(unterminated)),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"short", 0, REG_DWORD, shortDword, sizeof(shortDword)),
              ERROR_SUCCESS);
    ASSERT_EQ(key.SetString(L"text", L"value"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword(L"number", 42), ERROR_SUCCESS);

    EXPECT_EQ(key.QueryString(L"raw"), L"abc");
    EXPECT_EQ(key.QueryString(L"text"), L"value");
    EXPECT_EQ(key.QueryDword(L"number"), 42u);
    EXPECT_FALSE(key.QueryDword(L"short"));
    EXPECT_FALSE(key.QueryDword(L"text"));
    EXPECT_FALSE(key.QueryString(L"number"));
    EXPECT_FALSE(key.QueryString(L"missing"));

    // A fixed buffer of four characters: a terminator may be left out, a
    // longer value is refused rather than cut.
    std::wstring fixed = L"stale";
    EXPECT_EQ(key.QueryFixedText(L"raw", 4, fixed), ERROR_SUCCESS);
    EXPECT_EQ(fixed, L"abc");
    ASSERT_EQ(key.SetString(L"four", L"abcd"), ERROR_SUCCESS); // 5 characters with its zero
    EXPECT_EQ(key.QueryFixedText(L"four", 4, fixed), ERROR_MORE_DATA);
    EXPECT_EQ(fixed, L"");
    EXPECT_EQ(key.QueryFixedText(L"four", 5, fixed), ERROR_SUCCESS);
    EXPECT_EQ(fixed, L"abcd");

    EXPECT_EQ(key.DeleteValue(L"text"), ERROR_SUCCESS);
    EXPECT_FALSE(key.QueryString(L"text"));
    EXPECT_EQ(key.DeleteValue(L"text"), ERROR_FILE_NOT_FOUND);
}

TEST(RegKeyValues, RawValuesListsAndKeyInformationAreBoundedAsAsked)
{
    ScratchKey scratch;
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, scratch.Path(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    const std::vector<BYTE> bytes = {1, 2, 3, 4, 5};
    ASSERT_EQ(key.SetRaw(L"bytes", REG_BINARY, bytes), ERROR_SUCCESS);
    ASSERT_EQ(key.SetRaw(L"empty", REG_NONE, {}), ERROR_SUCCESS);
    ASSERT_EQ(key.SetMultiString(L"list", {L"one", L"two"}), ERROR_SUCCESS);
    for (const wchar_t* name : {L"k1", L"k2", L"k3"}) {
        RegKey sub;
        ASSERT_EQ(sub.Create(key.Get(), name, KEY_READ), ERROR_SUCCESS);
    }

    RegKey::Value value;
    EXPECT_EQ(key.QueryRaw(L"bytes", 5, value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, DWORD{REG_BINARY});
    EXPECT_EQ(value.data, bytes);
    EXPECT_EQ(key.QueryRaw(L"bytes", 4, value), ERROR_MORE_DATA);
    EXPECT_EQ(key.QueryRaw(L"empty", 0, value), ERROR_SUCCESS);
    EXPECT_TRUE(value.data.empty());
    EXPECT_EQ(key.QueryRaw(L"missing", 100, value), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(key.QueryMultiString(L"list", 100), (std::vector<std::wstring>{L"one", L"two"}));
    EXPECT_FALSE(key.QueryMultiString(L"list", 8));
    EXPECT_FALSE(key.QueryMultiString(L"bytes", 100));

    RegKey::Info info;
    ASSERT_EQ(key.QueryInfo(info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 3u);
    EXPECT_EQ(info.subkeys, 3u);
    EXPECT_EQ(info.longestValueName, 5u);
    EXPECT_EQ(key.SubkeyNames(10).size(), 3u);
    EXPECT_EQ(key.SubkeyNames(2).size(), 2u);
    EXPECT_EQ(key.ValueNames(10).size(), 3u);

    // The walk by index: names and data up to the bounds given.
    std::vector<std::wstring> seen;
    for (DWORD index = 0; key.EnumValue(index, 5, 32, value) == ERROR_SUCCESS; ++index)
        seen.push_back(value.name);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(key.EnumValue(0, 1, 32, value), ERROR_MORE_DATA);
    EXPECT_EQ(key.EnumValue(3, 5, 32, value), ERROR_NO_MORE_ITEMS);
}

TEST(OwnedHandles, ResetReleaseAndMoveCloseEachHandleExactlyOnce)
{
    UniqueHandle owned(NamedEvent(L"first"));
    ASSERT_TRUE(owned);

    UniqueHandle moved(std::move(owned));
    EXPECT_FALSE(owned);
    EXPECT_TRUE(IsOpen(L"first"));

    moved.Reset(NamedEvent(L"second"));
    EXPECT_FALSE(IsOpen(L"first"));
    const HANDLE second = moved.Get();

    HANDLE released = moved.Release();
    EXPECT_EQ(released, second);
    EXPECT_FALSE(moved);
    EXPECT_TRUE(IsOpen(L"second"));
    ::CloseHandle(released);
    EXPECT_FALSE(IsOpen(L"second"));

    // A find handle's empty value is INVALID_HANDLE_VALUE, not null.
    UniqueFindHandle none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);
}

TEST(TextConversion, RoundTripsThroughUtf8AndTheAnsiPage)
{
    const std::wstring text = L"Gr\u00FC\u00DFe \u20AC \u4E2D";
    EXPECT_EQ(Narrow(text, CP_UTF8), "Gr\xC3\xBC\xC3\x9F"
                                     "e \xE2\x82\xAC \xE4\xB8\xAD");
    EXPECT_EQ(Widen(Narrow(text, CP_UTF8), CP_UTF8), text);
    EXPECT_EQ(Widen(Narrow(L"plain text")), L"plain text");
    EXPECT_EQ(Narrow(L""), "");
    EXPECT_EQ(Widen(""), L"");
    // An invalid sequence still gives a defined, bounded result.
    EXPECT_LE(Widen("\xFF\xFE\xC3", CP_UTF8).size(), 3u);
}

TEST(TextHelpers, TrimAndCaselessComparison)
{
    const struct {
        const wchar_t* in;
        const wchar_t* trimmed;
    } trims[] = {{L"", L""}, {L" \t\r\n", L""}, {L"  a b  ", L"a b"}, {L"x", L"x"}, {L"\vx\f", L"x"}};
    for (const auto& row : trims)
        EXPECT_EQ(TrimWhiteSpace(row.in), row.trimmed) << row.in;

    EXPECT_TRUE(EqualsIgnoreCase(L"HKEY_Local_Machine", L"hkey_local_MACHINE"));
    EXPECT_TRUE(EqualsIgnoreCase(L"", L""));
    EXPECT_FALSE(EqualsIgnoreCase(L"abc", L"abcd"));
    EXPECT_FALSE(EqualsIgnoreCase(L"abc", L"abd"));
}

TEST(ModulePaths, FolderJoinAndBaseName)
{
    const std::wstring program = ModuleFileName();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(::GetFileAttributesW(program.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(BaseName(program), L"platform_tests");
    EXPECT_EQ(JoinPath(FolderOf(program), L"platform_tests.exe"), program);

    const struct {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* joined;
    } joins[] = {{L"C:\\a", L"b", L"C:\\a\\b"},
                 {L"C:\\a\\", L"b", L"C:\\a\\b"},
                 {L"C:\\a", L"\\\\b", L"C:\\a\\b"},
                 {L"", L"b", L"b"}};
    for (const auto& row : joins)
        EXPECT_EQ(JoinPath(row.folder, row.name), row.joined) << row.folder << L" + " << row.name;

    EXPECT_EQ(FolderOf(L"C:\\a\\b.txt"), L"C:\\a");
    EXPECT_EQ(FolderOf(L"b.txt"), L"");
    EXPECT_EQ(BaseName(L"C:\\a.d\\b.tar.gz"), L"b.tar");
    EXPECT_EQ(BaseName(L"dir/name"), L"name");
    EXPECT_EQ(BaseName(L"C:\\a.d\\noext"), L"noext");
}

TEST(SystemFunctions, OnlyTheSystemFoldersLibrariesAreTaken)
{
    using TickCount = DWORD(WINAPI*)();
    auto tickCount = SystemFunction<TickCount>(L"kernel32.dll", "GetTickCount");
    ASSERT_NE(tickCount, nullptr);
    EXPECT_GT(tickCount(), 0u);
    const struct {
        const wchar_t* library;
        const char* function;
    } missing[] = {
        {L"kernel32.dll", "NoSuchFunctionAnywhere"},
        {L"no_such_library_here.dll", "GetTickCount"},
        // Beside the program, not in the system folder: never loaded.
        {L"versioned.dll", "DllMain"},
    };
    for (const auto& row : missing)
        EXPECT_EQ(SystemLibraryFunction(row.library, row.function), nullptr) << row.library;
    ASSERT_NE(::GetFileAttributesW(JoinPath(FolderOf(ModuleFileName()), L"versioned.dll").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetModuleHandleW(L"versioned.dll"), nullptr);
}
