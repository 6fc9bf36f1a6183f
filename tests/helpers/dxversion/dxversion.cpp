#include <cstdio>

#include "core/compat/DirectXVersion.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    std::printf("%d\n", Tavrin::Core::WindowsUpdate::DetectDirectXVersionIn(argv[1]));
    return 0;
}
