# Cross-compiling for Windows with MinGW-w64 (posix threads, so std::thread works).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVRIN_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRIN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The 64-bit build is the one that runs under wine64 here.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec)
