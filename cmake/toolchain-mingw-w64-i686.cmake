# Cross-compiling for 32-bit Windows (x86) with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KESTRUN_MINGW_PREFIX i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${KESTRUN_MINGW_PREFIX}-gcc-posix ${KESTRUN_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KESTRUN_MINGW_PREFIX}-g++-posix ${KESTRUN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KESTRUN_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests and tools built here run under Wine through the project's wrapper, which the
# top-level build writes into the build tree (see cmake/KestrunTesting.cmake).
set(KESTRUN_USE_WINE ON CACHE BOOL "Run Windows binaries under Wine" FORCE)

# Floating point in SSE registers as on x64, not the x87 stack with its 80-bit
# intermediates, so the equalizer's output is the same bit for bit in both filters.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
