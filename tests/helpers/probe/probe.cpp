// Output: "<version code> <eligible 0|1> <wow64 0|1>"
#include <cstdio>

#include "core/compat/SystemInfo.h"

int wmain()
{
    bool eligible = false;
    int code = Tavrin::Core::ClassifyWindowsVersion(eligible);
    std::printf("%d %d %d\n", code, eligible ? 1 : 0, Tavrin::Core::IsWow64() ? 1 : 0);
    return 0;
}
