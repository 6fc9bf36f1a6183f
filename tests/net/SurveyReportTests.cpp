#include <gtest/gtest.h>

#include <algorithm>

#include "net/Endpoint.h"
#include "net/SurveyReport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/TestSupport.h"

using Tavrin::Net::CSurveyReport;
using Tavrin::Net::PercentEncode;
using Tavrin::Net::PostHttpRequest;
using Tavrin::Test::HttpAnswer;
using Tavrin::Test::InstallerKey;
using Tavrin::Test::LoopbackHttpServer;
using Tavrin::Test::Redirect;
using Tavrin::Test::Reply;

namespace {

const char kEmptyRegistryQuery[] =
    "/prodstats/?aid=49&pid=89&cpid=349&vid=85&lid=en&Version=&LicenseKey=&INSTALLDATE=&Desktop=FALSE"
    "&Login=FALSE&Quick=FALSE&Updates=FALSE&AutoScan=FALSE&Offers=&OffersSelected=&trackingID=&ep=";

class SurveyReportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Started()); }

    CSurveyReport Report(const std::wstring& trackingId = L"") const
    {
        return CSurveyReport(server.Address() + L"/prodstats", L"Orvane", L"Tavrin", 89, L"85", L"349", L"en",
                             L"", L"", L"", trackingId, L"");
    }

    // The query fields of the one request the server got, in order.
    std::string OnlyTarget() const
    {
        auto requests = server.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? std::string() : requests[0].target;
    }

    // PostHttpRequest to this server.
    int Post(const std::wstring& path, const std::wstring& textData, std::vector<char>& response,
             size_t& length) const
    {
        auto endpoint = Tavrin::Net::ParseEndpoint(server.Address());
        return PostHttpRequest(endpoint->host, path, L"", textData, response, length, nullptr, 0,
                               endpoint->port);
    }

    InstallerKey installer;
    LoopbackHttpServer server;
};

} // namespace

TEST(PercentEncode, UnreservedCharactersStayAsTheyAre)
{
    EXPECT_EQ(PercentEncode(L"AZaz09-._~"), "AZaz09-._~");
}

TEST(PercentEncode, EverythingElseIsEncodedAsUtf8Bytes)
{
    EXPECT_EQ(PercentEncode(L"a&aid=50"), "a%26aid%3D50");
    EXPECT_EQ(PercentEncode(L"x y/?#%+,"), "x%20y%2F%3F%23%25%2B%2C");
    EXPECT_EQ(PercentEncode(L"\u00e9"), "%C3%A9");
    EXPECT_EQ(PercentEncode(L""), "");
}

TEST(SurveyReportConstruction, TheEndpointSplitsAtTheFirstSlashAfterLeadingSlashes)
{
    CSurveyReport report(L"//stats.example.test/prodstats/v2", L"m", L"p", 1, L"", L"", L"", L"", L"", L"",
                         L"", L"");
    EXPECT_EQ(report.Host(), L"stats.example.test");
    EXPECT_EQ(report.Path(), L"prodstats/v2");
    CSurveyReport bare(L"hostonly", L"m", L"p", 1, L"", L"", L"", L"", L"", L"", L"", L"");
    EXPECT_EQ(bare.Host(), L"hostonly");
    EXPECT_EQ(bare.Path(), L"");
}

TEST_F(SurveyReportTest, TheInstallReportWithAnEmptyRegistryPostsTheQueryWithoutBodyOrContentType)
{
    server.Answer("/prodstats/", Reply(200, "thanks"));
    EXPECT_TRUE(Report().Send(false));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, kEmptyRegistryQuery);
    EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), "SurveyRequest");
    EXPECT_FALSE(requests[0].Header("Content-Type"));
    EXPECT_EQ(requests[0].body, "");
}

TEST_F(SurveyReportTest, OnlyTwoHundredAndTwoHundredOneCountAsSuccess)
{
    for (int status : {200, 201, 204, 404, 500}) {
        server.Answer("/prodstats/", Reply(status, ""));
        EXPECT_EQ(Report().Send(false), status == 200 || status == 201) << status;
    }
    EXPECT_EQ(server.Requests().size(), 5u); // the 204 arrived too
}

TEST_F(SurveyReportTest, SilentOneGivesEventCode51AndOtherValuesGive49)
{
    installer.SetDword(L"Silent", 1);
    EXPECT_EQ(Report().ObjectPath(false).substr(0, 17), L"prodstats/?aid=51");
    installer.SetDword(L"Silent", 2);
    EXPECT_EQ(Report().ObjectPath(false).substr(0, 17), L"prodstats/?aid=49");
}

TEST_F(SurveyReportTest, AnEventGivesCode50WhateverSilentSays)
{
    installer.SetDword(L"Silent", 1);
    server.Answer("/prodstats/", Reply(201, ""));
    EXPECT_TRUE(Report().Send(true));
    EXPECT_EQ(OnlyTarget().substr(0, 18), "/prodstats/?aid=50");
}

TEST_F(SurveyReportTest, InstallerFlagsBecomeTrueOrFalse)
{
    installer.SetDword(L"AutoScan", 1);
    installer.SetDword(L"Quick", 7);
    installer.SetDword(L"Login", 0);
    installer.SetString(L"Desktop", L"1"); // not a number: counts as 0
    std::wstring path = Report().ObjectPath(false);
    EXPECT_NE(path.find(L"&Desktop=FALSE&Login=FALSE&Quick=TRUE&Updates=FALSE&AutoScan=TRUE&"),
              std::wstring::npos)
        << path;
}

// The installer is a 32-bit program like the shipped one, so on 64-bit
// Windows both meet in the 32-bit registry view; the other view is not read.
TEST_F(SurveyReportTest, InstallerValuesComeFromTheViewOfTheProgramsOwnWidth)
{
    const bool shipped = sizeof(void*) == 4;
    InstallerKey otherView(shipped ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
    otherView.SetDword(L"Desktop", 1);
    otherView.SetDword(L"Quick", 1);
    otherView.SetDword(L"Other", 1, L"Offers");
    installer.SetDword(L"Login", 1);
    installer.SetDword(L"Quick", 0);
    installer.SetDword(L"Own", 0, L"Offers");
    std::wstring path = Report().ObjectPath(false);
    EXPECT_NE(path.find(L"&Desktop=FALSE&Login=TRUE&Quick=FALSE&"), std::wstring::npos) << path;
    EXPECT_NE(path.find(L"&Offers=Own&OffersSelected=0&"), std::wstring::npos) << path;
}

TEST_F(SurveyReportTest, OffersListNamesAndSelectionsInOrder)
{
    installer.SetDword(L"A", 1, L"Offers");
    installer.SetDword(L"B", 0, L"Offers");
    server.Answer("/prodstats/", Reply(200, ""));
    EXPECT_TRUE(Report().Send(false));
    std::string target = OnlyTarget();
    EXPECT_NE(target.find("&Offers=A,B&OffersSelected=1,0&"), std::string::npos) << target;
}

TEST_F(SurveyReportTest, AnEmptyOffersKeyGivesTwoEmptyLists)
{
    installer.CreateSubKey(L"Offers");
    std::wstring path = Report().ObjectPath(false);
    EXPECT_NE(path.find(L"&Offers=&OffersSelected=&"), std::wstring::npos) << path;
}

TEST_F(SurveyReportTest, AStringOfferIsNamedButHasNoSelection)
{
    installer.SetDword(L"A", 5, L"Offers");
    installer.SetString(L"S", L"yes", L"Offers");
    std::wstring path = Report().ObjectPath(false);
    EXPECT_NE(path.find(L"&Offers=A,S&OffersSelected=1&"), std::wstring::npos) << path;
}

TEST_F(SurveyReportTest, ACraftedOfferNameCannotAddOrAlterFields)
{
    installer.SetDword(L"x&aid=50&pid=1,y", 1, L"Offers");
    server.Answer("/prodstats/", Reply(200, ""));
    EXPECT_TRUE(Report(L"t&ep=evil").Send(false));
    std::string target = OnlyTarget();
    EXPECT_NE(target.find("&Offers=x%26aid%3D50%26pid%3D1%2Cy&OffersSelected=1&"), std::string::npos)
        << target;
    EXPECT_NE(target.find("&trackingID=t%26ep%3Devil&ep="), std::string::npos) << target;
    // Exactly the seventeen fields, each once.
    size_t ampersands = std::count(target.begin(), target.end(), '&');
    EXPECT_EQ(ampersands, 16u);
    EXPECT_EQ(target.find("aid="), target.rfind("aid="));
}

TEST_F(SurveyReportTest, AGivenBodyIsSentWithTheContentType)
{
    server.Answer("/prodstats/", Reply(200, ""));
    const char body[] = "\x01\x02payload";
    EXPECT_TRUE(Report().Send(false, body, sizeof(body) - 1));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, std::string(body, sizeof(body) - 1));
    EXPECT_EQ(requests[0].Header("Content-Type").value_or(""), "application/octet-stream");
}

TEST_F(SurveyReportTest, ARefusedConnectionIsAFailure)
{
    LoopbackHttpServer closed;
    std::wstring address = closed.Address();
    closed.Stop(); // nothing listens there any more
    CSurveyReport report(address + L"/prodstats", L"Orvane", L"Tavrin", 89, L"85", L"349", L"en", L"", L"",
                         L"", L"", L"");
    EXPECT_FALSE(report.Send(false));
}

TEST_F(SurveyReportTest, ASilentServerEndsInFailureWithinTheTimeOut)
{
    HttpAnswer silent;
    silent.silent = true;
    server.Answer("/prodstats/", silent);
    DWORD start = ::GetTickCount();
    EXPECT_FALSE(Report().Send(false));
    EXPECT_LT(::GetTickCount() - start, 60000u);
    EXPECT_GE(server.Requests().size(), 1u);
}

TEST_F(SurveyReportTest, AResponseOfExactly2048BytesIsReadWhole)
{
    std::string body(2048, 'r');
    body[0] = 'S';
    body[2047] = 'E';
    server.Answer("/p", Reply(200, body));
    std::vector<char> response;
    size_t length = 99;
    auto endpoint = Tavrin::Net::ParseEndpoint(server.Address());
    ASSERT_EQ(PostHttpRequest(endpoint->host, L"p", L"", L"", response, length, nullptr, 0, endpoint->port),
              0);
    ASSERT_EQ(length, 2048u);
    EXPECT_EQ(std::string(response.data(), length), body);
    EXPECT_EQ(response.size(), 4096u);
}

TEST_F(SurveyReportTest, TheResponseBufferGrowsForALongAnswer)
{
    std::string body;
    for (int i = 0; i < 10000; ++i)
        body += static_cast<char>('a' + i % 26);
    server.Answer("/p", Reply(201, body));
    std::vector<char> response;
    size_t length = 0;
    auto endpoint = Tavrin::Net::ParseEndpoint(server.Address());
    ASSERT_EQ(PostHttpRequest(endpoint->host, L"p", L"", L"", response, length, nullptr, 0, endpoint->port),
              0);
    ASSERT_EQ(length, body.size());
    EXPECT_EQ(std::string(response.data(), length), body);
    EXPECT_EQ(response.size() % 4096, 0u);
}

TEST_F(SurveyReportTest, TextDataIsSentAsTheBodyWithTheHeaders)
{
    server.Answer("/p", Reply(200, ""));
    std::vector<char> response = {'k', 'e', 'p', 't'};
    size_t length = 4;
    auto endpoint = Tavrin::Net::ParseEndpoint(server.Address());
    EXPECT_EQ(PostHttpRequest(endpoint->host, L"p", L"X-Test: 1\r\n", L"a=b&c=d", response, length, nullptr,
                              0, endpoint->port),
              0);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, "a=b&c=d");
    EXPECT_EQ(requests[0].Header("X-Test").value_or(""), "1");
}

TEST_F(SurveyReportTest, AFailedStatusLeavesTheResponseBufferAsItWas)
{
    server.Answer("/p", Reply(500, "oops"));
    std::vector<char> response = {'k', 'e', 'p', 't'};
    size_t length = 4;
    auto endpoint = Tavrin::Net::ParseEndpoint(server.Address());
    EXPECT_EQ(PostHttpRequest(endpoint->host, L"p", L"", L"", response, length, nullptr, 0, endpoint->port),
              -1);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::string(response.begin(), response.end()), "kept");
}

TEST_F(SurveyReportTest, OfferNamesOf1024CharactersAndMoreAreListedInFull)
{
    for (size_t length : {1023u, 1024u, 4000u, 16383u}) {
        Tavrin::Test::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(InstallerKey::kPath) + L"\\Offers");
        std::wstring name(length, L'n');
        name[0] = L'A';
        installer.SetDword(name, 1, L"Offers");
        std::wstring path = Report().ObjectPath(false);
        EXPECT_NE(path.find(L"&Offers=" + name + L"&OffersSelected=1&"), std::wstring::npos) << length;
    }
}

TEST_F(SurveyReportTest, AnAnswerThatArrivesInPiecesIsReadToTheEnd)
{
    std::string body;
    for (int i = 0; i < 5000; ++i)
        body += static_cast<char>('a' + i % 26);
    for (bool chunked : {false, true}) {
        HttpAnswer pieces = Reply(200, body);
        pieces.pieceBytes = 700;
        pieces.piecePauseMs = 150;
        pieces.chunked = chunked;
        server.Answer("/p", pieces);
        std::vector<char> response;
        size_t length = 0;
        ASSERT_EQ(Post(L"p", L"", response, length), 0);
        EXPECT_EQ(std::string(response.data(), length), body) << chunked;
    }
}

TEST_F(SurveyReportTest, TextDataLongerThan2048BytesIsSentWhole)
{
    server.Answer("/p", Reply(200, ""));
    std::wstring data;
    for (int i = 0; i < 5000; ++i)
        data += static_cast<wchar_t>(L'a' + i % 26);
    std::vector<char> response;
    size_t length = 0;
    EXPECT_EQ(Post(L"p", data, response, length), 0);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, std::string(data.begin(), data.end()));
}

TEST_F(SurveyReportTest, ARedirectIsNotFollowed)
{
    LoopbackHttpServer elsewhere;
    ASSERT_TRUE(elsewhere.Started());
    elsewhere.Answer("/prodstats/", Reply(200, ""));
    std::wstring address = elsewhere.Address();
    server.Answer("/prodstats/",
                  Redirect("https://" + std::string(address.begin(), address.end()) + "/prodstats/"));
    EXPECT_FALSE(Report().Send(false));
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(elsewhere.Requests().empty());
}
