#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/CommandLineParser.h"
#include "app/StartMode.h"

namespace {

std::vector<std::wstring> Names(const std::wstring& commandLine)
{
    CCommandLineParser parser;
    parser.Parse(commandLine);
    std::vector<std::wstring> names;
    for (const auto& option : parser.Options())
        names.push_back(option.name);
    return names;
}

StartMode ModeOf(const std::wstring& commandLine)
{
    CCommandLineParser parser;
    parser.Parse(commandLine);
    return SelectStartMode(parser);
}

std::vector<std::wstring> Values(const std::wstring& commandLine)
{
    CCommandLineParser parser;
    parser.Parse(commandLine);
    if (parser.Options().empty())
        return {};
    const auto& values = parser.Options().front().values;
    return {values.begin(), values.end()};
}

using Names_t = std::vector<std::wstring>;

} // namespace

TEST(CommandLineParser, AnyLeadingCharacterAndAnyCaseNameTheMode)
{
    EXPECT_EQ(Names(L"/install"), Names_t{L"install"});
    EXPECT_EQ(Names(L"-install"), Names_t{L"install"});
    EXPECT_EQ(ModeOf(L"/install"), StartMode::Install);
    EXPECT_EQ(ModeOf(L"-install"), StartMode::Install);
    EXPECT_EQ(ModeOf(L"/INSTALL"), StartMode::Install);
    EXPECT_EQ(ModeOf(L"  /uninstall  "), StartMode::Uninstall);
    EXPECT_EQ(ModeOf(L"/update"), StartMode::Update);
    EXPECT_EQ(ModeOf(L"/undo"), StartMode::Undo);
    EXPECT_EQ(ModeOf(L"-UNDO"), StartMode::Undo);
    EXPECT_EQ(ModeOf(L"undo"), StartMode::Interactive);
    EXPECT_EQ(ModeOf(L"/restoretask"), StartMode::RestoreTask);
    EXPECT_EQ(ModeOf(L"-RestoreTask"), StartMode::RestoreTask);
    EXPECT_EQ(ModeOf(L"/restore"), StartMode::Interactive);
}

TEST(CommandLineParser, TheFirstCharacterIsAlwaysDropped)
{
    EXPECT_EQ(Names(L"install"), Names_t{L"nstall"});
    EXPECT_EQ(ModeOf(L"install"), StartMode::Interactive);
}

TEST(CommandLineParser, ValuesFollowAColonAndDoNotChangeTheName)
{
    EXPECT_EQ(Names(L"/update:now"), Names_t{L"update"});
    EXPECT_EQ(ModeOf(L"/update:now"), StartMode::Update);
    EXPECT_EQ(Names(L"/install now"), Names_t{L"install now"});
    EXPECT_EQ(ModeOf(L"/install now"), StartMode::Interactive);
}

TEST(CommandLineParser, AColonFirstLeavesTheNameEmptyAndTheRestAreValues)
{
    // The name is the text before the colon, here nothing, less its first
    // character: still nothing, so no mode.
    EXPECT_EQ(Names(L":install"), Names_t{L""});
    EXPECT_EQ(Values(L":install"), Names_t{L"install"});
    EXPECT_EQ(ModeOf(L":install"), StartMode::Interactive);
    EXPECT_EQ(Names(L"/:update"), Names_t{L""});
    EXPECT_EQ(ModeOf(L"/:update"), StartMode::Interactive);
}

TEST(CommandLineParser, SlashDashStartsEveryPieceAndDropsWhatPrecedesTheFirst)
{
    EXPECT_EQ(Names(L"/-install"), Names_t{L"-install"});
    EXPECT_EQ(ModeOf(L"/-install"), StartMode::Interactive);
    EXPECT_EQ(Names(L"/update /-uninstall"), Names_t{L"-uninstall"});
    EXPECT_EQ(ModeOf(L"/update /-uninstall"), StartMode::Interactive);
    EXPECT_EQ(Names(L"junk /-a:1 /-b  /-c"), (Names_t{L"-a", L"-b", L"-c"}));
}

TEST(CommandLineParser, ValuesSplitAtCommasWithTrailingQuotesRemoved)
{
    EXPECT_EQ(Values(L"/update:a,b\"\",c"), (Names_t{L"a", L"b", L"c"}));
    EXPECT_EQ(Values(L"/update:,a,b"), (Names_t{L"a", L"b"}));
    EXPECT_EQ(Values(L"/update:\"x\""), Names_t{L"\"x"});
    EXPECT_EQ(Values(L"/update:a,,b"), (Names_t{L"a", L"", L"b"}));
    EXPECT_TRUE(Values(L"/update:").empty());
    EXPECT_TRUE(Values(L"/update").empty());
}

TEST(CommandLineParser, EmptyAndBlankCommandLinesHaveNoOptions)
{
    EXPECT_TRUE(Names(L"").empty());
    EXPECT_TRUE(Names(L"   \t ").empty());
    EXPECT_TRUE(Names(L"/- ").size() == 1);
    EXPECT_EQ(ModeOf(L""), StartMode::Interactive);
    EXPECT_EQ(ModeOf(L"   "), StartMode::Interactive);
}

TEST(CommandLineParser, HasOptionComparesTheWholeName)
{
    CCommandLineParser parser;
    parser.Parse(L"/installer");
    EXPECT_FALSE(parser.HasOption(L"install"));
    EXPECT_TRUE(parser.HasOption(L"INSTALLER"));
}

// A line never names two modes ("/-" starts every piece, and the names it
// starts keep their dash), so the order the modes are looked for in never
// shows; a dashed name chooses none, and a value after a colon keeps a mode.
TEST(StartModeSelection, DashedNamesChooseNoModeAndAValueKeepsOne)
{
    CCommandLineParser parser;
    parser.Parse(L"/-install /-uninstall /-update");
    EXPECT_EQ(SelectStartMode(parser), StartMode::Interactive);
    EXPECT_EQ(ModeOf(L"/uninstall:x"), StartMode::Uninstall);
}

// The profile and administration modes (and "/verify", which takes none) take their arguments after white
// space, quoted as a command line quotes them; the whole line is theirs, "/-" included.
TEST(CommandLineParser, ProfileModesTakeTheirArgumentsFromTheWholeLine)
{
    const struct {
        const wchar_t* line;
        StartMode mode;
        std::vector<std::wstring> arguments;
    } cases[] = {
        {L"/export C:\\p.json", StartMode::Export, {L"C:\\p.json"}},
        {L"  -APPLY   \"C:\\My Files\\p.json\"  ", StartMode::Apply, {L"C:\\My Files\\p.json"}},
        {L"/apply C:/-x/p.json", StartMode::Apply, {L"C:/-x/p.json"}},
        {L"/apply recommended strict", StartMode::Apply, {L"recommended", L"strict"}},
        {L"/apply", StartMode::Apply, {}},
        {L"/apply:recommended", StartMode::Apply, {}},
        {L"/applyrecommended", StartMode::Interactive, {}},
        {L"/install now", StartMode::Interactive, {}},
        {L"/report \\\\server\\share\\pcs.csv", StartMode::Report, {L"\\\\server\\share\\pcs.csv"}},
        {L"-REPORT \"C:\\My Files\\pc.json\"", StartMode::Report, {L"C:\\My Files\\pc.json"}},
        {L"/scan", StartMode::Scan, {}},
        {L"/scan now", StartMode::Scan, {L"now"}},
        {L"/scanner", StartMode::Interactive, {}},
        {L"/verify", StartMode::Verify, {}},
        {L"-VERIFY now", StartMode::Verify, {L"now"}},
        {L"/verify:x", StartMode::Verify, {}},
    };
    const std::map<StartMode, const wchar_t*> names = {
        {StartMode::Export, L"export"}, {StartMode::Apply, L"apply"},   {StartMode::Report, L"report"},
        {StartMode::Scan, L"scan"},     {StartMode::Verify, L"verify"}, {StartMode::Interactive, L"apply"}};
    for (const auto& line : cases) {
        CCommandLineParser parser;
        parser.Parse(line.line);
        EXPECT_EQ(SelectStartMode(parser), line.mode) << line.line;
        const CommandLineOption* option = parser.Find(names.at(line.mode));
        EXPECT_EQ(option ? option->arguments : std::vector<std::wstring>(), line.arguments) << line.line;
    }
}
