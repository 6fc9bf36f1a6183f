#include <gtest/gtest.h>

#include <cwctype>

#include "net/CodeSignature.h"
#include "platform/UniqueHandle.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TestSupport.h"

using Tavrin::Net::ParseThumbprints;
using Tavrin::Net::Thumbprint;
using Tavrin::Test::BinFolder;
using Tavrin::Test::TestThumbprint;

namespace {

std::wstring Bin(const wchar_t* name)
{
    return BinFolder() + L"\\" + name;
}

// The test signer is the accepted signer unless a test says otherwise.
bool VerifyCodeSignature(const std::wstring& path, HANDLE file = nullptr,
                         const std::wstring& accepted = TestThumbprint(L"test_signer"))
{
    return Tavrin::Net::VerifyCodeSignature(path, file, ParseThumbprints(accepted));
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

TEST(CodeSignature, OnlyTheAcceptedSigningCertificateIsAcceptedNotItsIssuingCa)
{
    Tavrin::Test::TrustedTestRoot root;
    Tavrin::Test::TrustedTestRoot otherRoot(L"test_other_root.der");
    ASSERT_TRUE(root.Added() && otherRoot.Added());
    std::wstring root1 = TestThumbprint(L"test_signing_root");
    std::wstring signer1 = TestThumbprint(L"test_signer");
    std::wstring root2 = TestThumbprint(L"test_other_root");
    std::wstring signer2 = TestThumbprint(L"test_other_signer");
    ASSERT_EQ(signer2.size(), 64u);
    struct Case {
        std::wstring accepted;
        bool ours;
        bool others;
    } cases[] = {
        {root1, false, false},
        {signer1, true, false},
        {root2, false, false},
        {signer2, false, true},
        {L"", false, false},
        {signer1 + L"," + signer2, true, true},
        {root1 + L"," + root2, false, false},
        {L"  " + signer1 + L" ;", true, false},
        {signer1.substr(1), false, false},
    };
    for (const Case& c : cases) {
        std::string label(c.accepted.begin(), c.accepted.end());
        EXPECT_EQ(VerifyCodeSignature(Bin(L"test_updater_signed.exe"), nullptr, c.accepted), c.ours) << label;
        EXPECT_EQ(VerifyCodeSignature(Bin(L"test_updater_other.exe"), nullptr, c.accepted), c.others)
            << label;
    }
}

TEST(CodeSignature, ThumbprintsAreSixtyFourHexDigitsWhateverTheirCase)
{
    std::wstring upper = TestThumbprint(L"test_signer");
    std::wstring lower;
    for (wchar_t c : upper)
        lower += static_cast<wchar_t>(std::towlower(c));
    auto parsed = ParseThumbprints(lower + L"\t" + upper + L",xyz," + upper + L"0");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0], parsed[1]);
    EXPECT_TRUE(ParseThumbprints(L"").empty());
}

TEST(DeploymentSettings, TheInstallerValueReplacesTheBuiltInSigners)
{
    Tavrin::Test::InstallerKey key;
    EXPECT_EQ(Tavrin::Net::AcceptedUpdaterSigners(), Tavrin::Net::BuiltInUpdaterSigners());
    key.SetString(L"UpdaterSigners", TestThumbprint(L"test_other_root"));
    EXPECT_EQ(Tavrin::Net::AcceptedUpdaterSigners(), ParseThumbprints(TestThumbprint(L"test_other_root")));
    key.SetString(L"UpdaterSigners", L"not a thumbprint");
    EXPECT_TRUE(Tavrin::Net::AcceptedUpdaterSigners().empty());
}
