# What both mingw-w64 toolchains share; the including file sets KESTRUN_MINGW_PREFIX
# (the compilers' target triple) and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

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
