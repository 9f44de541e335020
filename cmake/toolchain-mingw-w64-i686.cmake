# Cross-compiling for 32-bit Windows (x86) with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTRUN_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64-common.cmake)

# Floating point in SSE registers as on x64, not the x87 stack with its 80-bit
# intermediates, so the equalizer's output is the same bit for bit in both filters.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
