#include <gtest/gtest.h>

#include "net/CodeSignature.h"
#include "platform/UniqueHandle.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TestSupport.h"

using Tavrin::Net::VerifyCodeSignature;
using Tavrin::Test::BinFolder;

namespace {

std::wstring Bin(const wchar_t* name)
{
    return BinFolder() + L"\\" + name;
}

} // namespace

TEST(CodeSignature, AnUnsignedProgramIsRefused)
{
    Tavrin::Test::TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    EXPECT_FALSE(VerifyCodeSignature(Bin(L"test_updater.exe")));
}

TEST(CodeSignature, AProgramSignedUnderATrustedRootIsAccepted)
{
    Tavrin::Test::TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    EXPECT_TRUE(VerifyCodeSignature(Bin(L"test_updater_signed.exe")));
}

TEST(CodeSignature, TheSameSignatureIsRefusedWhileItsRootIsNotTrusted)
{
    EXPECT_FALSE(VerifyCodeSignature(Bin(L"test_updater_signed.exe")));
}

TEST(CodeSignature, ASignerNoStoreTrustsIsRefused)
{
    Tavrin::Test::TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    EXPECT_FALSE(VerifyCodeSignature(Bin(L"test_updater_untrusted.exe")));
}

TEST(CodeSignature, AChangedByteAfterSigningIsRefused)
{
    Tavrin::Test::TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    Tavrin::Test::TempFolder folder;
    std::string bytes = Tavrin::Test::ReadFileBytes(Bin(L"test_updater_signed.exe"));
    ASSERT_GT(bytes.size(), 5000u);
    bytes[4000] = static_cast<char>(bytes[4000] ^ 0x5A);
    ASSERT_TRUE(Tavrin::Test::WriteFileBytes(folder.File(L"changed.exe"), bytes));
    EXPECT_FALSE(VerifyCodeSignature(folder.File(L"changed.exe")));
}

TEST(CodeSignature, AnOpenHandleOfTheFileIsChecked)
{
    Tavrin::Test::TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    std::wstring path = Bin(L"test_updater_signed.exe");
    Tavrin::Platform::UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    EXPECT_TRUE(VerifyCodeSignature(path, file.Get()));
}
