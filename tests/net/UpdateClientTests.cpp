#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "net/UpdateCheck.h"
#include "net/WinInetRequest.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace Tavrin::Net;
using Tavrin::Test::HttpAnswer;
using Tavrin::Test::LoopbackHttpServer;
using Tavrin::Test::Reply;
using Tavrin::Test::TempFolder;
using Tavrin::Test::Utf16Le;

namespace {

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class UpdateClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Started()); }
    UpdateServerRequest Request(const std::wstring& path) const
    {
        return MakeUpdateServerRequest(server.Address(), path);
    }

    LoopbackHttpServer server;
    TempFolder folder;
};

} // namespace

TEST_F(UpdateClientTest, FetchTextReadsTheUtf16Answer)
{
    std::wstring xml = L"<?xml version=\"1.0\"?><update><version id=\"1.0.3\"/></update>";
    server.Answer("/tools/tavrin/update", Reply(200, Utf16Le(xml)));
    UpdateServerRequest request = Request(kUpdatePath);
    std::wstring text = L"old";
    EXPECT_EQ(FetchText(&request, text), kUpdateOk);
    EXPECT_EQ(text, xml);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/tools/tavrin/update");
    EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), "Pellumo");
    EXPECT_EQ(requests[0].Header("Content-Type").value_or(""), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body, "");
}

TEST_F(UpdateClientTest, ParamsTravelAsTheBody)
{
    server.Answer("/form", Reply(200, Utf16Le(L"ok")));
    UpdateServerRequest request = MakeUpdateServerRequest(server.Address(), L"form", L"a=1&b=2");
    std::wstring text;
    EXPECT_EQ(FetchText(&request, text), kUpdateOk);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, "a=1&b=2");
}

TEST_F(UpdateClientTest, ALongAnswerIsJoinedAcrossPieces)
{
    std::wstring xml = L"<update>";
    for (int i = 0; i < 600; ++i)
        xml += L"<item n=\"" + std::to_wstring(i) + L"\"/>";
    xml += L"</update>";
    server.Answer("/big", Reply(200, Utf16Le(xml)));
    UpdateServerRequest request = Request(L"big");
    std::wstring text;
    EXPECT_EQ(FetchText(&request, text), kUpdateOk);
    EXPECT_EQ(text, xml);
}

TEST_F(UpdateClientTest, AZeroUnitEndsThePieceText)
{
    server.Answer("/z", Reply(200, Utf16Le(L"abc") + std::string(2, '\0') + Utf16Le(L"def")));
    UpdateServerRequest request = Request(L"z");
    std::wstring text;
    EXPECT_EQ(FetchText(&request, text), kUpdateOk);
    EXPECT_EQ(text, L"abc");
}

TEST_F(UpdateClientTest, StatusCodesMapToResults)
{
    struct Case {
        int status;
        int result;
    } cases[] = {{404, kUpdateClientError}, {400, kUpdateClientError}, {499, kUpdateClientError},
                 {500, kUpdateBadStatus},   {204, kUpdateBadStatus},   {201, kUpdateBadStatus}};
    for (const Case& c : cases) {
        server.Answer("/s", Reply(c.status, ""));
        UpdateServerRequest request = Request(L"s");
        std::wstring text = L"x";
        EXPECT_EQ(FetchText(&request, text), c.result) << c.status;
        EXPECT_EQ(text, L"") << c.status;
    }
}

TEST_F(UpdateClientTest, InvalidParametersIsRecognisedWhateverItsCase)
{
    server.Answer("/i", Reply(200, "invalid PARAMETERS"));
    UpdateServerRequest request = Request(L"i");
    std::wstring text;
    EXPECT_EQ(FetchText(&request, text), kUpdateInvalidParams);
}

TEST_F(UpdateClientTest, NoRequestRecordGivesMinus11)
{
    std::wstring text;
    EXPECT_EQ(FetchText(nullptr, text), kUpdateNoRequest);
    EXPECT_EQ(DownloadFile(nullptr, folder.File(L"x.exe")), kUpdateNoRequest);
    EXPECT_FALSE(FileExists(folder.File(L"x.exe")));
}

TEST_F(UpdateClientTest, ARefusedConnectionOrABadHostGivesMinus2)
{
    LoopbackHttpServer closed;
    std::wstring address = closed.Address();
    closed.Stop();
    std::wstring text;
    UpdateServerRequest refused = MakeUpdateServerRequest(address, kUpdatePath);
    EXPECT_EQ(FetchText(&refused, text), kUpdateNoConnection);
    UpdateServerRequest malformed = MakeUpdateServerRequest(L"127.0.0.1:99999", kUpdatePath);
    EXPECT_EQ(FetchText(&malformed, text), kUpdateNoConnection);
}

TEST_F(UpdateClientTest, AServerWhoseCertificateNamesAnotherHostIsRefused)
{
    // The test server's certificate names "localhost", not the address.
    server.Answer("/tools/tavrin/update", Reply(200, Utf16Le(L"<version id=\"1.0.3\"/>")));
    std::wstring address = server.Address();
    UpdateServerRequest request =
        MakeUpdateServerRequest(L"127.0.0.1" + address.substr(address.find(L':')), kUpdatePath);
    std::wstring text;
    EXPECT_EQ(FetchText(&request, text), kUpdateNoConnection);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(server.HttpRequestCount(), 0u);
}

TEST_F(UpdateClientTest, ASilentServerGivesMinus2WithinTheTimeOut)
{
    HttpAnswer silent;
    silent.silent = true;
    server.Answer("/tools/tavrin/update", silent);
    UpdateServerRequest request = Request(kUpdatePath);
    std::wstring text;
    DWORD start = ::GetTickCount();
    EXPECT_EQ(FetchText(&request, text), kUpdateNoConnection);
    EXPECT_LT(::GetTickCount() - start, 60000u);
}

TEST_F(UpdateClientTest, AnAnswerBeyondTheLimitIsRefused)
{
    server.Answer("/huge", Reply(200, std::string(kMaxFetchBytes + 4096, 'a')));
    UpdateServerRequest request = Request(L"huge");
    std::wstring text;
    EXPECT_EQ(FetchText(&request, text), kUpdateNoConnection);
}

TEST_F(UpdateClientTest, DownloadFileWritesTheBytesAndCreatesTheFolder)
{
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>(i * 7);
    server.Answer("/files/u.exe", Reply(200, bytes));
    UpdateServerRequest request = Request(L"files/u.exe");
    std::wstring target = folder.File(L"Tavrin\\update.exe");
    EXPECT_EQ(DownloadFile(&request, target), kUpdateOk);
    EXPECT_EQ(Tavrin::Test::ReadFileBytes(target), bytes);
}

TEST_F(UpdateClientTest, ADownloadOfExactly2048BytesIsWhole)
{
    std::string bytes(2048, 'q');
    server.Answer("/f", Reply(200, bytes));
    UpdateServerRequest request = Request(L"f");
    EXPECT_EQ(DownloadFile(&request, folder.File(L"f.bin")), kUpdateOk);
    EXPECT_EQ(Tavrin::Test::ReadFileBytes(folder.File(L"f.bin")), bytes);
}

TEST_F(UpdateClientTest, ADownloadShortOfItsContentLengthLeavesNoFile)
{
    HttpAnswer shortAnswer = Reply(200, std::string(3000, 'x'));
    shortAnswer.contentLength = 5000;
    server.Answer("/f", shortAnswer);
    UpdateServerRequest request = Request(L"f");
    EXPECT_EQ(DownloadFile(&request, folder.File(L"f.bin")), kUpdateNoConnection);
    EXPECT_FALSE(FileExists(folder.File(L"f.bin")));
}

TEST_F(UpdateClientTest, AnInvalidParametersDownloadLeavesNoFile)
{
    server.Answer("/f", Reply(200, "Invalid Parameters"));
    UpdateServerRequest request = Request(L"f");
    EXPECT_NE(DownloadFile(&request, folder.File(L"f.bin")), kUpdateOk);
    EXPECT_FALSE(FileExists(folder.File(L"f.bin")));
}

TEST_F(UpdateClientTest, AFailedDownloadReplacesAndRemovesAnOldFile)
{
    Tavrin::Test::WriteFileBytes(folder.File(L"f.bin"), "old");
    server.Answer("/f", Reply(404, ""));
    UpdateServerRequest request = Request(L"f");
    EXPECT_EQ(DownloadFile(&request, folder.File(L"f.bin")), kUpdateClientError);
    EXPECT_FALSE(FileExists(folder.File(L"f.bin")));
}

TEST_F(UpdateClientTest, AFileThatCannotBeCreatedGivesMinus15)
{
    server.Answer("/f", Reply(200, "data"));
    UpdateServerRequest request = Request(L"f");
    EXPECT_EQ(DownloadFile(&request, folder.File(L"no\\such\\folder\\f.bin")), kUpdateFileFailed);
    EXPECT_TRUE(server.Requests().empty());
}

TEST(UpdateServerRequestRecord, LongTextsAreCutToTheField)
{
    UpdateServerRequest request = MakeUpdateServerRequest(std::wstring(400, L'h'), L"p", L"");
    EXPECT_EQ(std::wstring(request.host).size(), 259u);
    EXPECT_EQ(std::wstring(request.path), L"p");
    EXPECT_EQ(request.params[0], L'\0');
}

TEST(UpdateAnswer, TheFirstVersionElementDepthFirstIsUsed)
{
    auto offer =
        ParseUpdateAnswer(L"<a><b><c><version id=\"deep\" host=\"h\" path=\"p\" params=\"-x\"/></c></b>"
                          L"<version id=\"later\"/></a>");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->id, L"deep");
    EXPECT_EQ(offer->host, L"h");
    EXPECT_EQ(offer->path, L"p");
    EXPECT_EQ(offer->params, L"-x");
}

TEST(UpdateAnswer, AnElementComesBeforeItsChildrenAndItsChildrenBeforeItsNextSibling)
{
    auto offer = ParseUpdateAnswer(L"<r><version id=\"parent\"><version id=\"child\"/></version></r>");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->id, L"parent");
    offer = ParseUpdateAnswer(L"<r><x><version id=\"child\"/></x><version id=\"sibling\"/></r>");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->id, L"child");
}

TEST(UpdateAnswer, MissingAttributesReadEmpty)
{
    auto offer = ParseUpdateAnswer(L"<version/>");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->id, L"");
    EXPECT_EQ(offer->host, L"");
}

TEST(UpdateAnswer, NoVersionElementOrNoXmlGivesNothing)
{
    EXPECT_FALSE(ParseUpdateAnswer(L"<update><Version id=\"2\"/><versions/></update>"));
    EXPECT_FALSE(ParseUpdateAnswer(L"not xml <"));
    EXPECT_FALSE(ParseUpdateAnswer(L""));
    EXPECT_FALSE(ParseUpdateAnswer(L"<a><version id=\"1\"></a>"));
}

TEST(UpdateAnswer, AByteOrderMarkIsAccepted)
{
    auto offer =
        ParseUpdateAnswer(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><u><version id=\"9\"/></u>");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->id, L"9");
}

TEST(UpdateAnswer, TheTargetIsUpdateExeInTheProgramDataUpdateFolder)
{
    // Not the temporary folder: every process of the user may write there.
    PWSTR programData = nullptr;
    ASSERT_EQ(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData), S_OK);
    std::wstring expected = programData;
    ::CoTaskMemFree(programData);
    EXPECT_EQ(UpdateTargetFile(), expected + L"\\TavrinUpdate\\update.exe");
}

TEST(RequestLimits, InstallerValuesCanOnlyShortenTheLimits)
{
    const RequestLimits builtIn = {60000, 30000, 1024};
    struct Case {
        DWORD deadlineSeconds;
        DWORD windowSeconds;
        DWORD deadlineMs;
        DWORD windowMs;
    } cases[] = {{5, 2, 5000, 2000}, {0, 0, 60000, 30000}, {600, 90, 60000, 30000}, {60, 30, 60000, 30000}};
    for (const Case& c : cases) {
        Tavrin::Test::InstallerKey key;
        key.SetDword(L"RequestDeadlineSeconds", c.deadlineSeconds);
        key.SetDword(L"DownloadRateWindowSeconds", c.windowSeconds);
        RequestLimits limits = ConfiguredLimits(builtIn);
        EXPECT_EQ(limits.deadlineMs, c.deadlineMs) << c.deadlineSeconds;
        EXPECT_EQ(limits.rateWindowMs, c.windowMs) << c.windowSeconds;
        EXPECT_EQ(limits.minBytesPerWindow, 1024u);
        // A request without a minimum rate never gets one.
        EXPECT_EQ(ConfiguredLimits({60000}).rateWindowMs, 0u);
    }
}

TEST_F(UpdateClientTest, AnAnswerThatArrivesInPiecesIsReadToTheEnd)
{
    std::wstring xml = L"<update>";
    for (int i = 0; i < 300; ++i)
        xml += L"<item n=\"" + std::to_wstring(i) + L"\"/>";
    xml += L"</update>";
    std::string bytes;
    for (int i = 0; i < 9000; ++i)
        bytes += static_cast<char>(i * 13);
    for (bool chunked : {false, true}) {
        HttpAnswer text = Reply(200, Utf16Le(xml));
        text.pieceBytes = 1000;
        text.piecePauseMs = 150;
        text.chunked = chunked;
        server.Answer("/text", text);
        HttpAnswer file = text;
        file.body = bytes;
        server.Answer("/file", file);

        UpdateServerRequest textRequest = Request(L"text");
        std::wstring received;
        EXPECT_EQ(FetchText(&textRequest, received), kUpdateOk) << chunked;
        EXPECT_EQ(received, xml) << chunked;
        UpdateServerRequest fileRequest = Request(L"file");
        std::wstring target = folder.File(L"f.bin");
        int result = DownloadFile(&fileRequest, target);
        EXPECT_TRUE(result == kUpdateOk && Tavrin::Test::ReadFileBytes(target) == bytes)
            << chunked << " " << result << " " << Tavrin::Test::ReadFileBytes(target).size();
    }
}

TEST(ReadPieces, OnlyAReadOfNoBytesEndsTheAnswer)
{
    // Windows' WinINet may return a short piece anywhere in an answer; the
    // reads Wine gives back are always full until the end.
    struct Case {
        std::vector<DWORD> reads; // a size per read; kFail fails the read
        size_t refuseAfter;       // pieces the sink takes before refusing
        ReadEnd end;
        size_t bytes;
    };
    const DWORD kFail = ~0u;
    Case cases[] = {
        {{2048, 100, 2048, 7, 0}, 99, ReadEnd::Complete, 4203},
        {{2048, 2048, 0}, 99, ReadEnd::Complete, 4096},
        {{0}, 99, ReadEnd::Complete, 0},
        {{100, kFail}, 99, ReadEnd::Failed, 100},
        {{100, 100, 100, 0}, 2, ReadEnd::Stopped, 300},
    };
    for (const Case& c : cases) {
        size_t next = 0, pieces = 0, bytes = 0;
        ReadEnd end = ReadPieces(
            [&](char* buffer, DWORD size, DWORD& read) {
                EXPECT_EQ(size, 2048u);
                DWORD wanted = next < c.reads.size() ? c.reads[next++] : 0;
                if (wanted == kFail)
                    return false;
                std::fill(buffer, buffer + wanted, 'x');
                read = wanted;
                return true;
            },
            [&](const char*, DWORD size) {
                bytes += size;
                return ++pieces <= c.refuseAfter;
            },
            2048);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(bytes, c.bytes);
    }
}
