#include <gtest/gtest.h>

#include "core/DeploymentPolicy.h"
#include "net/UpdateCheck.h"
#include "net/WinInetRequest.h"
#include "platform/Module.h"
#include "platform/UniqueHandle.h"
#include "tests/core/SettingsTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/LinkStandIns.h"

using namespace Tavrin::Test;

namespace {

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // the paths here are ASCII
}

// What the tests allow a mode beyond its deadline: the start and end of the
// program under Wine.
constexpr DWORD kStartSlackMs = 20000;
// A deadline short enough for the tests; installations can only shorten it.
constexpr DWORD kTestDeadlineSeconds = 5;

// The real program in update mode against a loopback update endpoint that
// also serves the updater, with a temporary folder of the test's own. The
// test signer's thumbprint is the accepted signer; the tests that need its
// root trusted say so.
class UpdateModeTest : public ::testing::Test {
protected:
    UpdateModeTest()
        : tmp(L"TMP", temp.Path()), tempVariable(L"TEMP", temp.Path()),
          record(L"TAVRIN_UPDATER_RECORD", temp.File(L"updater-record.txt"))
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(server.Started());
        program = folder.File(L"tavrin.exe");
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\tavrin.exe").c_str(), program.c_str(), FALSE));
        installer.SetString(L"UpdateHost", server.Address());
        installer.SetString(L"UpdaterSigners", TestThumbprint(L"test_signer"));
        RemoveFolder(UpdateFolder());
    }
    void TearDown() override
    {
        // An updater that wrote its record may still be running from the
        // folder for a moment; the next case must not find the folder.
        for (int attempt = 0; attempt < 100; ++attempt) {
            RemoveFolder(UpdateFolder());
            if (::GetFileAttributesW(UpdateFolder().c_str()) == INVALID_FILE_ATTRIBUTES)
                break;
            ::Sleep(100);
        }
        for (const std::wstring& aside : AsideFolders())
            RemoveFolder(aside);
    }

    // What the update mode moved aside from the update folder's path.
    static std::vector<std::wstring> AsideFolders()
    {
        std::vector<std::wstring> folders;
        const std::wstring parent = Tavrin::Platform::FolderOf(UpdateFolder());
        WIN32_FIND_DATAW found;
        Tavrin::Platform::UniqueFindHandle find(
            ::FindFirstFileW((UpdateFolder() + L".old-*").c_str(), &found));
        if (find) {
            do
                folders.push_back(parent + L"\\" + found.cFileName);
            while (::FindNextFileW(find.Get(), &found));
        }
        return folders;
    }

    // Answers the update check with one "version" element naming the
    // updater on this server, which serves the given program file.
    void Offer(const std::wstring& id, const std::wstring& updaterFile,
               const std::wstring& params = L"/silent /from:1.0.2")
    {
        std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><updates><product name=\"Tavrin\">"
                           L"<version id=\"" +
                           id + L"\" host=\"" + server.Address() +
                           L"\" path=\"files/TavrinUpdater.exe\" params=\"" + params +
                           L"\"/></product></updates>";
        server.Answer("/tools/tavrin/update", Reply(200, Utf16Le(xml)));
        if (!updaterFile.empty())
            server.Answer("/files/TavrinUpdater.exe",
                          Reply(200, ReadFileBytes(BinFolder() + L"\\" + updaterFile)));
    }

    // Runs a mode; returns how long it took.
    DWORD Run(const wchar_t* mode = L"/update")
    {
        DWORD start = ::GetTickCount();
        ProcessResult result = RunProcess(L"\"" + program + L"\" " + mode, 120000);
        EXPECT_FALSE(result.timedOut);
        return ::GetTickCount() - start;
    }
    void RunUpdate() { Run(); }

    // The updater's record, waited for up to timeoutMs.
    std::string WaitForRecord(DWORD timeoutMs) const
    {
        std::wstring path = temp.File(L"updater-record.txt");
        DWORD start = ::GetTickCount();
        while (!FileExists(path) && ::GetTickCount() - start < timeoutMs)
            ::Sleep(100);
        return ReadFileBytes(path);
    }

    static std::wstring Target() { return Tavrin::Net::UpdateTargetFile(); }
    static std::wstring UpdateFolder() { return Tavrin::Platform::FolderOf(Target()); }

    TempFolder temp;
    EnvironmentOverride tmp;
    EnvironmentOverride tempVariable;
    EnvironmentOverride record;
    InstallerKey installer;
    LoopbackHttpServer server;
    TempFolder folder;
    std::wstring program;
};

} // namespace

TEST_F(UpdateModeTest, ASignedUpdaterIsDownloadedAndStartedWithItsParameters)
{
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    // Started by its path, not through what the user's classes say about
    // programs.
    PlantedProgramHandler planted(temp.Path());
    ASSERT_TRUE(planted.Ready());
    Offer(L"1.0.3", L"test_updater_signed.exe");
    RunUpdate();
    std::string started = WaitForRecord(20000);
    EXPECT_EQ(started, "params=/silent /from:1.0.2\npath=" + Narrow(Target()) + "\n");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/tools/tavrin/update");
    EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), "Pellumo");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].target, "/files/TavrinUpdater.exe");
    // The updater stays where it was downloaded.
    EXPECT_EQ(ReadFileBytes(Target()), ReadFileBytes(BinFolder() + L"\\test_updater_signed.exe"));
    EXPECT_EQ(planted.Log(), "");
}

TEST_F(UpdateModeTest, AnEmptyVersionIdCountsAsAnUpdate)
{
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    Offer(L"", L"test_updater_signed.exe", L"now");
    RunUpdate();
    EXPECT_EQ(WaitForRecord(20000).rfind("params=now\n", 0), 0u);
}

TEST_F(UpdateModeTest, TheCurrentVersionStartsNothing)
{
    Offer(Tavrin::Net::kProgramVersion, L"test_updater_signed.exe");
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(1000), "");
}

TEST_F(UpdateModeTest, AnAnswerWithoutAVersionElementStartsNothing)
{
    server.Answer("/tools/tavrin/update", Reply(200, Utf16Le(L"<updates><Version id=\"9.9\"/></updates>")));
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateModeTest, AnUnsignedDownloadIsDeletedAndNotStarted)
{
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    Offer(L"1.0.3", L"test_updater.exe");
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 2u); // it was downloaded
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(3000), "");
}

TEST_F(UpdateModeTest, ADownloadSignedByAnUntrustedSignerIsDeletedAndNotStarted)
{
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    Offer(L"1.0.3", L"test_updater_untrusted.exe");
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(3000), "");
}

TEST_F(UpdateModeTest, AShortDownloadLeavesNoFileAndStartsNothing)
{
    TrustedTestRoot root;
    Offer(L"1.0.3", L"");
    HttpAnswer shortAnswer =
        Reply(200, ReadFileBytes(BinFolder() + L"\\test_updater_signed.exe").substr(0, 10000));
    shortAnswer.contentLength = 20000;
    server.Answer("/files/TavrinUpdater.exe", shortAnswer);
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(2000), "");
}

TEST_F(UpdateModeTest, AnInvalidParametersDownloadLeavesNoFile)
{
    Offer(L"1.0.3", L"");
    server.Answer("/files/TavrinUpdater.exe", Reply(200, "Invalid Parameters"));
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateModeTest, AnOldDownloadIsNotInTheFolderOfTheNextOne)
{
    ::CreateDirectoryW(UpdateFolder().c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(Target(), "stale updater"));
    Offer(L"1.0.3", L"");
    server.Answer("/files/TavrinUpdater.exe", Reply(404));
    RunUpdate();
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateModeTest, ASilentUpdateServerDoesNotHoldTheUpdateMode)
{
    HttpAnswer silent;
    silent.silent = true;
    server.Answer("/tools/tavrin/update", silent);
    DWORD start = ::GetTickCount();
    RunUpdate();
    EXPECT_LT(::GetTickCount() - start, 90000u);
    EXPECT_GE(server.Requests().size(), 1u);
}

TEST_F(UpdateModeTest, ASilentDownloadServerDoesNotHoldTheUpdateMode)
{
    Offer(L"1.0.3", L"");
    HttpAnswer silent;
    silent.silent = true;
    server.Answer("/files/TavrinUpdater.exe", silent);
    DWORD start = ::GetTickCount();
    RunUpdate();
    EXPECT_LT(::GetTickCount() - start, 90000u);
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateModeTest, ARedirectedUpdateAnswerIsNotFollowed)
{
    TrustedTestRoot root;
    LoopbackHttpServer elsewhere;
    ASSERT_TRUE(elsewhere.Started());
    std::wstring xml = L"<updates><version id=\"1.0.3\" host=\"" + elsewhere.Address() +
                       L"\" path=\"u.exe\" params=\"x\"/></updates>";
    elsewhere.Answer("/tools/tavrin/update", Reply(200, Utf16Le(xml)));
    elsewhere.Answer("/u.exe", Reply(200, ReadFileBytes(BinFolder() + L"\\test_updater_signed.exe")));
    server.Answer("/tools/tavrin/update",
                  Redirect("https://" + Narrow(elsewhere.Address()) + "/tools/tavrin/update"));
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(elsewhere.Requests().empty());
    EXPECT_EQ(WaitForRecord(2000), "");
}

TEST_F(UpdateModeTest, ARedirectedDownloadIsNotFollowed)
{
    TrustedTestRoot root;
    LoopbackHttpServer elsewhere;
    ASSERT_TRUE(elsewhere.Started());
    elsewhere.Answer("/files/TavrinUpdater.exe",
                     Reply(200, ReadFileBytes(BinFolder() + L"\\test_updater_signed.exe")));
    Offer(L"1.0.3", L"");
    server.Answer("/files/TavrinUpdater.exe",
                  Redirect("https://" + Narrow(elsewhere.Address()) + "/files/TavrinUpdater.exe"));
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_TRUE(elsewhere.Requests().empty());
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(2000), "");
}

TEST_F(UpdateModeTest, NeitherAnswerNorDownloadStaysInTheInternetCache)
{
    TrustedTestRoot root;
    for (const wchar_t* updater : {L"test_updater_signed.exe", L"test_updater.exe"}) {
        Offer(L"1.0.3", updater);
        RunUpdate();
        EXPECT_EQ(CachedUrls(server.Address()), std::vector<std::wstring>()) << Narrow(updater);
    }
    EXPECT_EQ(server.Requests().size(), 4u);
}

TEST_F(UpdateModeTest, ATricklingUpdateServerIsCutOffAtTheDeadline)
{
    installer.SetDword(L"RequestDeadlineSeconds", kTestDeadlineSeconds);
    HttpAnswer trickle = Reply(200, Utf16Le(L"<version id=\"1.0.3\"/>"));
    trickle.headerByteMs = 2000;
    server.Answer("/tools/tavrin/update", trickle);
    EXPECT_LT(Run(), kTestDeadlineSeconds * 1000 + kStartSlackMs);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(UpdateModeTest, AnEndlessDownloadIsCutOffAtTheDeadline)
{
    installer.SetDword(L"RequestDeadlineSeconds", kTestDeadlineSeconds);
    Offer(L"1.0.3", L"");
    HttpAnswer endless = Reply(200, std::string(4096, 'e'));
    endless.endless = true;
    endless.piecePauseMs = 20;
    server.Answer("/files/TavrinUpdater.exe", endless);
    EXPECT_LT(Run(), 2 * kTestDeadlineSeconds * 1000 + kStartSlackMs); // two requests
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(1000), "");
}

TEST_F(UpdateModeTest, ADownloadBelowTheMinimumRateIsCutOff)
{
    installer.SetDword(L"DownloadRateWindowSeconds", 2);
    Offer(L"1.0.3", L"");
    HttpAnswer slow = Reply(200, std::string(1024 * 1024, 's'));
    slow.pieceBytes = 64;
    slow.piecePauseMs = 250;
    server.Answer("/files/TavrinUpdater.exe", slow);
    EXPECT_LT(Run(), 4000 + kStartSlackMs);
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateModeTest, ATricklingStatisticsServerIsCutOffAtTheDeadline)
{
    installer.SetDword(L"RequestDeadlineSeconds", kTestDeadlineSeconds);
    installer.SetString(L"StatsHost", server.Address());
    HttpAnswer trickle = Reply(200, "ok");
    trickle.headerByteMs = 2000;
    server.Answer("/prodstats/", trickle);
    DWORD elapsed = Run(L"/install");
    Run(L"/uninstall");
    EXPECT_LT(elapsed, kTestDeadlineSeconds * 1000 + kStartSlackMs);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(UpdateModeTest, AnUpdaterOfAnotherSignerIsDeletedAndNotStarted)
{
    TrustedTestRoot root;
    TrustedTestRoot otherRoot(L"test_other_root.der");
    ASSERT_TRUE(root.Added() && otherRoot.Added());
    Offer(L"1.0.3", L"test_updater_other.exe");
    RunUpdate();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(WaitForRecord(3000), "");
}

TEST_F(UpdateModeTest, TheUpdaterRunsFromAFolderOnlyAdministratorsCanWrite)
{
    TrustedTestRoot root;
    Offer(L"1.0.3", L"test_updater_signed.exe");
    RunUpdate();
    EXPECT_EQ(WaitForRecord(20000), "params=/silent /from:1.0.2\npath=" + Narrow(Target()) + "\n");
    if (!FileSystemKeepsSecurity())
        GTEST_SKIP() << "this file system derives access lists from its own modes (Wine)";
    EXPECT_EQ(OthersCanWrite(UpdateFolder()), "");
}

TEST_F(UpdateModeTest, AnEarlierUpdateFolderIsMovedAsideUnopened)
{
    TrustedTestRoot root;
    Offer(L"1.0.3", L"test_updater.exe"); // refused, so the folder stays
    RunUpdate();
    ::CreateDirectoryW(UpdateFolder().c_str(), nullptr);
    std::wstring planted = UpdateFolder() + L"\\version.dll";
    ASSERT_TRUE(WriteFileBytes(planted, "planted"));
    Offer(L"1.0.3", L"test_updater_signed.exe");
    RunUpdate();
    EXPECT_EQ(WaitForRecord(20000).rfind("params=", 0), 0u);
    EXPECT_FALSE(FileExists(planted));
    // Nothing in the earlier folder was opened or deleted.
    std::vector<std::wstring> aside = AsideFolders();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(aside[0] + L"\\version.dll"), "planted");
}

TEST_F(UpdateModeTest, AnUpdateFolderSomeoneElseMadeIsReplacedNotUsed)
{
    TrustedTestRoot root;
    ASSERT_TRUE(CreateOpenFolder(UpdateFolder()));
    std::wstring planted = UpdateFolder() + L"\\version.dll";
    ASSERT_TRUE(WriteFileBytes(planted, "planted"));
    Offer(L"1.0.3", L"test_updater_signed.exe");
    RunUpdate();
    EXPECT_EQ(WaitForRecord(20000), "params=/silent /from:1.0.2\npath=" + Narrow(Target()) + "\n");
    EXPECT_FALSE(FileExists(planted));
    // The folder was moved aside as it was, nothing in it touched.
    std::vector<std::wstring> aside = AsideFolders();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(aside[0] + L"\\version.dll"), "planted");
}

TEST_F(UpdateModeTest, ALinkAtTheUpdateFolderIsNotFollowedAndNothingIsDownloaded)
{
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    TempFolder elsewhere;
    const std::wstring kept = elsewhere.File(L"keep.txt");
    ASSERT_TRUE(WriteFileBytes(kept, "someone's file"));
    UnixLink link(UpdateFolder(), elsewhere.Path());
    ASSERT_TRUE(link.Made()) << link.Problem();
    Offer(L"1.0.3", L"test_updater_signed.exe");
    RunUpdate();
    EXPECT_EQ(ReadFileBytes(kept), "someone's file");
    EXPECT_FALSE(FileExists(elsewhere.File(L"update.exe")));
    EXPECT_EQ(server.Requests().size(), 1u); // the answer only
    EXPECT_EQ(WaitForRecord(3000), "");
}

TEST_F(UpdateModeTest, APlainHttpServerAtEitherHostNeverGetsARequest)
{
    LoopbackHttpServer plain(LoopbackHttpServer::Transport::Plain);
    ASSERT_TRUE(plain.Started());
    std::wstring xml = L"<updates><version id=\"1.0.3\" host=\"" + plain.Address() +
                       L"\" path=\"u.exe\" params=\"x\"/></updates>";
    plain.Answer("/tools/tavrin/update", Reply(200, Utf16Le(xml)));
    plain.Answer("/prodstats/", Reply(200, "ok"));
    struct Case {
        const wchar_t* host;
        const wchar_t* mode;
    } cases[] = {{L"UpdateHost", L"/update"}, {L"StatsHost", L"/install"}};
    for (const Case& c : cases) {
        installer.SetString(c.host, plain.Address());
        size_t before = plain.HttpRequestCount();
        Run(c.mode);
        EXPECT_EQ(plain.HttpRequestCount(), before) << Narrow(c.mode);
    }
    EXPECT_EQ(plain.HttpRequestCount(), 0u);
    Run(L"/uninstall");
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateModeTest, AnAnswerLeftUnreadOrCutOffAtItsCapIsNotReceivedFurther)
{
    // Answers that never end, as fast as the line goes: only the client's
    // going stops the server, so what it sent shows what the client took.
    HttpAnswer endless = Reply(200, std::string(64 * 1024, 'e'));
    endless.endless = true;
    HttpAnswer endlessNotFound = endless;
    endlessNotFound.status = 404;
    struct Case {
        const char* path;
        HttpAnswer answer;
        const wchar_t* mode;
    } cases[] = {{"/tools/tavrin/update", endless, L"/update"},
                 {"/tools/tavrin/update", endlessNotFound, L"/update"},
                 {"/prodstats/", endless, L"/install"}};
    installer.SetString(L"StatsHost", server.Address());
    for (const Case& c : cases) {
        server.Answer(c.path, c.answer);
        size_t before = server.Requests().size();
        Run(c.mode);
        // The server ends the answer when the client goes, or after its
        // stream limit.
        std::optional<size_t> sent;
        for (DWORD waited = 0; !sent && waited < LoopbackHttpServer::kStreamLimitMs + 15000; waited += 100) {
            auto requests = server.Requests();
            ASSERT_EQ(requests.size(), before + 1);
            sent = requests.back().answerBytesSent;
            if (!sent)
                ::Sleep(100);
        }
        // The cap and what the buffers on the way hold, far from what the
        // server sends in its minute.
        ASSERT_TRUE(sent) << c.path;
        EXPECT_LT(*sent, 64u * 1024 * 1024) << c.path << " " << c.answer.status;
    }
    Run(L"/uninstall");
}

// Switched off by policy, the update mode asks nothing and ends with 0.
TEST_F(UpdateModeTest, ThePolicyDisableUpdateCheckAsksNothing)
{
    const DeploymentPolicySet policy(Tavrin::Core::DeploymentPolicy::DisableUpdateCheck);
    Offer(L"1.0.3", L"test_updater_signed.exe");
    const ProcessResult result = RunProcess(L"\"" + program + L"\" /update", 120000);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(FileExists(Target()));
}
