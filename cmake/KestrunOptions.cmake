# Compiler settings shared by every target.

option(KESTRUN_BUILD_TESTS "Build the tests" ON)
set(KESTRUN_SANITIZE "" CACHE STRING "Native only: sanitizers to build with (address,undefined | thread)")
option(KESTRUN_BUILD_FUZZERS "Native clang only: build the libFuzzer targets" OFF)
option(KESTRUN_BUILD_BENCHMARKS "Build the benchmarks" OFF)
set(KESTRUN_ONLY "" CACHE STRING "Build only these subsystems (a ;-list), for working on one part at a time")

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  # Floating point must give the same bits in every build: no fused multiply-add
  # contraction, no fast-math. The equalizer's output is compared across builds.
  add_compile_options(-ffp-contract=off -fno-fast-math)
endif()

if(WIN32)
  add_compile_definitions(NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Ship binaries that need no mingw runtime DLLs next to them.
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(KESTRUN_PLATFORM_WINDOWS ON)
else()
  set(KESTRUN_PLATFORM_WINDOWS OFF)
  if(KESTRUN_SANITIZE)
    add_compile_options(-fsanitize=${KESTRUN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KESTRUN_SANITIZE})
  endif()
endif()

# All binaries land in one folder, so Kestrun.exe finds Equalizer.ax and the
# Skin folder next to itself, as users get them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# kestrun_ansi_literals(<target>): in the Windows build, the target's narrow string
# literals become ANSI text in code page 932, as the ...A calls of the user interface
# expect; the sources stay UTF-8. Only for targets whose headers have no characters
# outside code page 932 (libstdc++'s <chrono> has one).
function(kestrun_ansi_literals target)
  if(WIN32 AND TARGET ${target})
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=CP932)
  endif()
endfunction()
