#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

using Tavrin::Test::BinFolder;
using Tavrin::Test::RunProcess;

// The shipped program, started the way the installer and the Task Scheduler
// start it. Whatever a mode does, it must end on its own.
class ProgramModes : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ProgramModes, EndsWithoutAWindow)
{
    auto result = RunProcess(L"\"" + BinFolder() + L"\\tavrin.exe\" " + GetParam(), 120000);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(::FindWindowW(nullptr, L"Orvane Tools"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ProgramModes, ::testing::Values(L"/uninstall", L"-UNINSTALL"),
                         [](const auto& info) { return info.index == 0 ? "Slash" : "DashUpperCase"; });
