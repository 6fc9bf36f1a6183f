#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <string>
#include <vector>

#include "tests/ui/SampleResults.h"
#include "ui/pages/ResulstDlg.h"

using Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT;
using Tavrin::Test::kGiB;
using Tavrin::Test::ReadyPc;
using Tavrin::UI::BuildResultsReport;
using Tavrin::UI::ResultsReport;

namespace {

const std::wstring kPrefix = L"\x25A0   ";
const std::wstring kProcessor =
    L"A 1 GHz or higher processor is required for a successful upgrade to Windows 10.";
const std::wstring kDirectX9 =
    L"Your graphics are not compatible with the upgrade. The upgrade requires that your "
    L"graphics must support DirectX 9 or higher.";
const std::wstring kDirectX10 =
    L"Your graphics may not be compatible with the upgrade. Some games and programs might "
    L"require graphics compatible with DirectX 10 or higher for optimal performance.";
const std::wstring kDisplay =
    L"A display screen or monitor that supports an 800x600 pixel resolution is required "
    L"for a successful upgrade to Windows 10.";
const std::wstring kStorage = L"Your device may not have enough storage space to complete the upgrade. "
                              L"Devices with equal or less than 32GB "
                              L"of total hard drive space may need a USB flash drive with additional storage "
                              L"space to complete the upgrade.";
const std::wstring kMemory64 =
    L"Your computer will need at least 2 GB of RAM (random-access memory) to run a "
    L"64-bit Windows 10 operating system.";
const std::wstring kMemory32 =
    L"Your computer will need at least 1 GB of RAM (random-access memory) to run a "
    L"32-bit Windows 10 operating system.";
const std::wstring kNotEligible =
    L"Your current operating system is not eligible for the upgrade. Please contact "
    L"Microsoft for more details.";
const std::wstring kServicePack =
    L"Your current operating system must first be upgraded to Windows Service Pack 1 "
    L"(SP1) before attempting the Windows 10 upgrade.";
const std::wstring kWindows81 = L"Your current operating system must first be upgraded to Windows 8.1 before "
                                L"attempting the Windows 10 upgrade.";
const std::wstring kMediaCenter =
    L"Windows Media Center is no longer supported in Windows 10 and will be removed.";
const std::wstring kGames =
    L"The desktop versions of Solitaire, Minesweeper, and Hearts will become apps located "
    L"in the Windows 10 Game Bar.";

const std::wstring kSuccessTitle = L"Success! You are ready to upgrade to Windows 10!";
const std::wstring kSuccessSubtitle =
    L"Note: You may encounter the following issues when proceeding with the upgrade:";
const std::wstring kReviewTitle = L"Review compatibility results";
const std::wstring kIssuesSubtitle = L"Your system may have issues with the upgrade";
const std::wstring kNotReadySubtitle = L"Your system is not ready for the Windows 10 upgrade.";

using Lines = std::list<std::wstring>;

Lines Prefixed(std::initializer_list<std::wstring> texts)
{
    Lines lines;
    for (const std::wstring& text : texts)
        lines.push_back(kPrefix + text);
    return lines;
}

bool FailsOnMemory(COMPATIBILITY_RESULT r)
{
    Lines failures = BuildResultsReport(r).failures;
    return failures == Prefixed({r.is64Bit ? kMemory64 : kMemory32});
}

bool FailsOnFreeSpace(COMPATIBILITY_RESULT r)
{
    return BuildResultsReport(r).failures == Prefixed({kStorage});
}

} // namespace

TEST(ResultsReport, ReadyPcGetsOnlyThePermanentNotesAndTheUpgradeButton)
{
    ResultsReport report = BuildResultsReport(ReadyPc());
    EXPECT_TRUE(report.failures.empty());
    EXPECT_TRUE(report.issues.empty());
    EXPECT_EQ(report.notes, Prefixed({kMediaCenter, kGames}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeReady);
    EXPECT_EQ(report.title, kSuccessTitle);
    EXPECT_EQ(report.subtitle, kSuccessSubtitle);
    EXPECT_TRUE(report.upgradeVisible);
}

TEST(ResultsReport, DirectX9ExactlyPassesWithTheDirectX10Note)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.directXVersion = 9;
    ResultsReport report = BuildResultsReport(r);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(report.notes, Prefixed({kDirectX10, kMediaCenter, kGames}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeReady);
    EXPECT_TRUE(report.upgradeVisible);
}

TEST(ResultsReport, DirectX8FailsWithoutTheDirectX10Note)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.directXVersion = 8;
    ResultsReport report = BuildResultsReport(r);
    EXPECT_EQ(report.failures, Prefixed({kDirectX9}));
    EXPECT_EQ(report.notes, Prefixed({kMediaCenter, kGames}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeNotReady);
    EXPECT_EQ(report.title, kReviewTitle);
    EXPECT_EQ(report.subtitle, kNotReadySubtitle);
    EXPECT_FALSE(report.upgradeVisible);
}

TEST(ResultsReport, DirectX10AndAboveAddNoGraphicsMessage)
{
    for (int version : {10, 11, 12}) {
        COMPATIBILITY_RESULT r = ReadyPc();
        r.directXVersion = version;
        EXPECT_EQ(BuildResultsReport(r).notes, Prefixed({kMediaCenter, kGames})) << version;
    }
}

TEST(ResultsReport, Windows7WithoutServicePackHasAnIssueAndNoUpgradeButton)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows7WithoutServicePack;
    ResultsReport report = BuildResultsReport(r);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(report.issues, Prefixed({kServicePack}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeIssues);
    EXPECT_EQ(report.title, kReviewTitle);
    EXPECT_EQ(report.subtitle, kIssuesSubtitle);
    EXPECT_FALSE(report.upgradeVisible);
}

TEST(ResultsReport, Windows8HasTheWindows81Issue)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows8;
    ResultsReport report = BuildResultsReport(r);
    EXPECT_EQ(report.issues, Prefixed({kWindows81}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeIssues);
}

TEST(ResultsReport, Windows7WithServicePackAndWindows81AreReady)
{
    for (auto version : {Tavrin::Core::WindowsVersionCode::Windows81,
                         Tavrin::Core::WindowsVersionCode::Windows7WithServicePack}) {
        COMPATIBILITY_RESULT r = ReadyPc();
        r.windowsVersion = version;
        EXPECT_EQ(BuildResultsReport(r).outcome, Tavrin::UI::kOutcomeReady) << version;
    }
}

TEST(ResultsReport, IneligibleWindowsFails)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::NotEligible;
    ResultsReport report = BuildResultsReport(r);
    EXPECT_EQ(report.failures, Prefixed({kNotEligible}));
    EXPECT_TRUE(report.issues.empty());
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeNotReady);
}

TEST(ResultsReport, FailuresOutweighIssues)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows7WithoutServicePack;
    r.processorSpeed = 800;
    ResultsReport report = BuildResultsReport(r);
    EXPECT_EQ(report.failures, Prefixed({kProcessor}));
    EXPECT_EQ(report.issues, Prefixed({kServicePack}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeNotReady);
    EXPECT_EQ(report.subtitle, kNotReadySubtitle);
    EXPECT_FALSE(report.upgradeVisible);
}

TEST(ResultsReport, ARecordNotSavedIsAnIssueWhateverElseThePcMeets)
{
    const std::wstring notSaved = kPrefix + Tavrin::UI::kRecordNotSavedText;
    COMPATIBILITY_RESULT seven = ReadyPc();
    seven.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows7WithoutServicePack;
    COMPATIBILITY_RESULT slow = ReadyPc();
    slow.processorSpeed = 800;
    const struct {
        COMPATIBILITY_RESULT pc;
        std::list<std::wstring> issues;
        int outcome;
    } cases[] = {
        {ReadyPc(), {notSaved}, Tavrin::UI::kOutcomeIssues},
        {seven, {kPrefix + kServicePack, notSaved}, Tavrin::UI::kOutcomeIssues},
        {slow, {notSaved}, Tavrin::UI::kOutcomeNotReady},
    };
    for (const auto& c : cases) {
        ResultsReport report = BuildResultsReport(c.pc, false);
        EXPECT_EQ(report.issues, c.issues);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_FALSE(report.upgradeVisible);
        // Saved, the same PC has no such issue.
        const ResultsReport saved = BuildResultsReport(c.pc, true);
        EXPECT_EQ(std::count(saved.issues.begin(), saved.issues.end(), notSaved), 0);
    }
}

TEST(ResultsReport, ProcessorOfExactly1GHzFails)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.processorSpeed = 1000;
    EXPECT_EQ(BuildResultsReport(r).failures, Prefixed({kProcessor}));
    r.processorSpeed = 1001;
    EXPECT_TRUE(BuildResultsReport(r).failures.empty());
    r.processorSpeed = 0; // nothing measured
    EXPECT_EQ(BuildResultsReport(r).failures, Prefixed({kProcessor}));
}

TEST(ResultsReport, DisplayFailureFollowsTheDisplayFlag)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.displayOk = false;
    EXPECT_EQ(BuildResultsReport(r).failures, Prefixed({kDisplay}));
}

TEST(ResultsReport, TwoGigabytesPassOn64BitAndHalfAGigabyteFailsOn32Bit)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.totalMemory = 2 * kGiB;
    EXPECT_FALSE(FailsOnMemory(r));
    EXPECT_TRUE(BuildResultsReport(r).failures.empty());

    r.is64Bit = 0;
    r.totalMemory = 512 * 1024 * 1024ULL;
    EXPECT_TRUE(FailsOnMemory(r));
}

TEST(ResultsReport, MemoryThresholdsAreComparedInDoublePrecision)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.totalMemory = 2040109465; // below 2 040 109 465.6
    EXPECT_TRUE(FailsOnMemory(r));
    r.totalMemory = 2040109466;
    EXPECT_FALSE(FailsOnMemory(r));

    r.is64Bit = 0;
    r.totalMemory = 966367641;
    EXPECT_TRUE(FailsOnMemory(r));
    r.totalMemory = 966367642;
    EXPECT_FALSE(FailsOnMemory(r));
    // 1.5 GB is enough for 32 bits but not for 64.
    r.totalMemory = 1536 * 1024 * 1024ULL;
    EXPECT_FALSE(FailsOnMemory(r));
    r.is64Bit = 1;
    EXPECT_TRUE(FailsOnMemory(r));
}

TEST(ResultsReport, EveryRequirementFailsExactlyWhereTheCheckSaysItIsNotMet)
{
    namespace Check = Tavrin::Core::WindowsUpdate;
    for (int is64Bit : {0, 1}) {
        for (double threshold : {Check::kMemoryThreshold32, Check::kMemoryThreshold64,
                                 Check::kDiskThreshold32, Check::kDiskThreshold64}) {
            for (double bytes : {std::floor(threshold), std::ceil(threshold)}) {
                COMPATIBILITY_RESULT r = ReadyPc();
                r.is64Bit = is64Bit;
                r.totalMemory = static_cast<std::uint64_t>(bytes);
                EXPECT_EQ(FailsOnMemory(r), !Check::MemoryRequirementMet(r.totalMemory, is64Bit)) << bytes;
                r = ReadyPc();
                r.is64Bit = is64Bit;
                r.systemDriveFree = static_cast<std::uint64_t>(bytes);
                EXPECT_EQ(FailsOnFreeSpace(r), !Check::DiskRequirementMet(r.systemDriveFree, is64Bit))
                    << bytes;
            }
        }
    }
    for (int speed : {1000, 1001}) {
        COMPATIBILITY_RESULT r = ReadyPc();
        r.processorSpeed = speed;
        EXPECT_EQ(BuildResultsReport(r).failures == Prefixed({kProcessor}),
                  !Check::ProcessorRequirementMet(speed));
    }
    for (int version : {8, 9}) {
        COMPATIBILITY_RESULT r = ReadyPc();
        r.directXVersion = version;
        EXPECT_EQ(BuildResultsReport(r).failures == Prefixed({kDirectX9}),
                  !Check::DirectXRequirementMet(version));
    }
}

TEST(ResultsReport, FreeSpaceThresholdsDependOnTheWindowsWidth)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.systemDriveFree = 34252364185; // below 31.9 GiB
    EXPECT_TRUE(FailsOnFreeSpace(r));
    r.systemDriveFree = 34252364186;
    EXPECT_FALSE(FailsOnFreeSpace(r));

    r.systemDriveFree = 20 * kGiB;
    EXPECT_TRUE(FailsOnFreeSpace(r));
    r.is64Bit = 0;
    r.totalMemory = 4 * kGiB;
    EXPECT_FALSE(FailsOnFreeSpace(r));
    r.systemDriveFree = 17072495001; // below 15.9 GiB
    EXPECT_TRUE(FailsOnFreeSpace(r));
    r.systemDriveFree = 17072495002;
    EXPECT_FALSE(FailsOnFreeSpace(r));
}

TEST(ResultsReport, SmallDriveAddsTheStorageNoteWithoutPrefix)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.systemDriveSize = 30 * kGiB;
    r.systemDriveFree = 29 * kGiB; // fails the free-space test as well
    ResultsReport report = BuildResultsReport(r);
    EXPECT_EQ(report.notes, (Lines{kStorage, kPrefix + kMediaCenter, kPrefix + kGames}));
    EXPECT_EQ(report.failures, Prefixed({kStorage}));

    r.systemDriveSize = 32 * kGiB; // equal counts
    EXPECT_EQ(BuildResultsReport(r).notes.front(), kStorage);
    r.systemDriveSize = 32 * kGiB + 1;
    EXPECT_EQ(BuildResultsReport(r).notes.front(), kPrefix + kMediaCenter);
    r.systemDriveSize = 40 * kGiB;
    EXPECT_EQ(BuildResultsReport(r).notes, Prefixed({kMediaCenter, kGames}));
}

TEST(ResultsReport, EveryFailureInItsOrder)
{
    COMPATIBILITY_RESULT r; // nothing measured at all, 32-bit
    ResultsReport report = BuildResultsReport(r);
    EXPECT_EQ(report.failures,
              Prefixed({kProcessor, kDirectX9, kDisplay, kStorage, kMemory32, kNotEligible}));
    EXPECT_TRUE(report.issues.empty());
    EXPECT_EQ(report.notes, (Lines{kStorage, kPrefix + kMediaCenter, kPrefix + kGames}));
    EXPECT_EQ(report.outcome, Tavrin::UI::kOutcomeNotReady);

    r.is64Bit = 1;
    EXPECT_EQ(BuildResultsReport(r).failures,
              Prefixed({kProcessor, kDirectX9, kDisplay, kStorage, kMemory64, kNotEligible}));
}

TEST(ResultsPage, FillResultsWithoutAWindowSetsTheTextsAndTheButton)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows7WithoutServicePack;
    r.processorSpeed = 900;
    CResulstDlg page;
    page.FillResults(&r);
    EXPECT_EQ(page.Outcome(), Tavrin::UI::kOutcomeNotReady);
    EXPECT_EQ(page.Title().GetText(), kReviewTitle);
    EXPECT_EQ(page.Subtitle().GetText(), kNotReadySubtitle);
    EXPECT_FALSE(page.UpgradeOffered());
    // Drawn as failures, then issues, then notes.
    EXPECT_EQ(page.Lines(), Prefixed({kProcessor, kServicePack, kMediaCenter, kGames}));
}

TEST(ResultsPage, FillingAgainReplacesTheLists)
{
    COMPATIBILITY_RESULT r;
    CResulstDlg page;
    page.FillResults(&r);
    COMPATIBILITY_RESULT ready = ReadyPc();
    page.FillResults(&ready);
    EXPECT_EQ(page.Outcome(), Tavrin::UI::kOutcomeReady);
    EXPECT_TRUE(page.Failures().empty());
    EXPECT_EQ(page.Notes(), Prefixed({kMediaCenter, kGames}));
    EXPECT_EQ(page.Title().GetText(), kSuccessTitle);
    EXPECT_TRUE(page.UpgradeOffered());
}

TEST(ResultsPage, NoResultLeavesThePageAsItWas)
{
    COMPATIBILITY_RESULT r = ReadyPc();
    r.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows8;
    CResulstDlg page;
    page.FillResults(&r);
    page.FillResults(nullptr);
    EXPECT_EQ(page.Outcome(), Tavrin::UI::kOutcomeIssues);
    EXPECT_EQ(page.Issues(), Prefixed({kWindows81}));
}

TEST(ResultsPage, DisclaimerHasTwoBlanksAfterProcessAndOneTypographicApostrophe)
{
    const std::wstring text = Tavrin::UI::kDisclaimerText;
    EXPECT_NE(text.find(L"process.  "), std::wstring::npos);
    EXPECT_EQ(text.find(L"process.   "), std::wstring::npos);
    // The only double blank is the one after "process.".
    EXPECT_EQ(text.find(L"  "), text.find(L"process.  ") + 8);
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\x2019'), 1);
    EXPECT_EQ(text.find(L'\''), std::wstring::npos);
    EXPECT_EQ(text.find(L"Tavrin"), 0u);
}

TEST(ResultsPage, MessagesShareTheLinesOnlyWhenTheyNeedMoreThanTheRoom)
{
    const struct {
        std::vector<int> needed;
        int room;
        std::vector<int> shares;
    } cases[] = {
        {{1, 2, 3}, 6, {1, 2, 3}},  // exactly the room
        {{1, 2, 3}, 40, {1, 2, 3}}, // more room than needed
        {{2, 3, 2}, 5, {2, 2, 1}},  // the later ones keep a line each
        {{3, 1, 1}, 3, {1, 1, 1}},  // a line for every message
        {{2, 2}, 0, {1, 1}},        // no room at all: still a line each
        {{4, 4, 4}, -3, {1, 1, 1}}, // room above the messages' top
        {{}, 10, {}},               // no messages
        {{5}, 3, {3}},              // one message takes all the room
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tavrin::UI::ShareMessageLines(c.needed, c.room), c.shares) << c.room;
}
