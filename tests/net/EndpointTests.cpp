#include <gtest/gtest.h>

#include "net/Endpoint.h"
#include "tests/support/NetTestSupport.h"

using Tavrin::Net::ParseEndpoint;

TEST(Endpoint, AHostWithoutPortIsReachedOnTheHttpsPort)
{
    auto endpoint = ParseEndpoint(L"stats.example.test");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, L"stats.example.test");
    EXPECT_EQ(endpoint->port, 443);
}

TEST(Endpoint, APortAfterAColonIsUsed)
{
    auto endpoint = ParseEndpoint(L"127.0.0.1:8081");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, L"127.0.0.1");
    EXPECT_EQ(endpoint->port, 8081);
    EXPECT_EQ(ParseEndpoint(L"h:65535")->port, 65535);
}

TEST(Endpoint, MalformedAddressesAreRefused)
{
    for (const wchar_t* text :
         {L"", L":80", L"host:", L"host:0", L"host:65536", L"host:8a", L"host:-1", L"host:123456", L"a:1:2"})
        EXPECT_FALSE(ParseEndpoint(text)) << text;
}

TEST(DeploymentSettings, WithoutInstallerValuesTheBuiltInHostsApply)
{
    EXPECT_FALSE(Tavrin::Net::BuiltInStatsHost().empty());
    EXPECT_FALSE(Tavrin::Net::BuiltInUpdateHost().empty());
    Tavrin::Test::InstallerKey key;
    EXPECT_EQ(Tavrin::Net::StatsHost(), Tavrin::Net::BuiltInStatsHost());
    EXPECT_EQ(Tavrin::Net::UpdateHost(), Tavrin::Net::BuiltInUpdateHost());
}

TEST(DeploymentSettings, InstallerValuesOverrideTheHosts)
{
    Tavrin::Test::InstallerKey key;
    key.SetString(L"StatsHost", L"stats.example.test:8080");
    key.SetString(L"UpdateHost", L"127.0.0.1:9");
    EXPECT_EQ(Tavrin::Net::StatsHost(), L"stats.example.test:8080");
    EXPECT_EQ(Tavrin::Net::UpdateHost(), L"127.0.0.1:9");
}

TEST(DeploymentSettings, EmptyOrNumericValuesAreIgnored)
{
    Tavrin::Test::InstallerKey key;
    key.SetString(L"StatsHost", L"");
    key.SetDword(L"UpdateHost", 5);
    EXPECT_EQ(Tavrin::Net::StatsHost(), Tavrin::Net::BuiltInStatsHost());
    EXPECT_EQ(Tavrin::Net::UpdateHost(), Tavrin::Net::BuiltInUpdateHost());
}
