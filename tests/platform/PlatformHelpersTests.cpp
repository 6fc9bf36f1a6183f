// The platform helpers every layer builds on: registry keys, owned handles,
// text conversion and module paths, against the real Win32 calls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/Module.h"
#include "platform/RegKey.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Platform;
using Tavrin::Test::ScratchKey;

namespace {

bool HandleIsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
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

TEST(OwnedHandles, ResetReleaseAndMoveCloseEachHandleExactlyOnce)
{
    UniqueHandle owned(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(owned);
    const HANDLE first = owned.Get();

    UniqueHandle moved(std::move(owned));
    EXPECT_FALSE(owned);
    EXPECT_TRUE(HandleIsOpen(first));

    moved.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(HandleIsOpen(first));
    const HANDLE second = moved.Get();

    HANDLE released = moved.Release();
    EXPECT_EQ(released, second);
    EXPECT_FALSE(moved);
    EXPECT_TRUE(HandleIsOpen(second));
    ::CloseHandle(released);

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
