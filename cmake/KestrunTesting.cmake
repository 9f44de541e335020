# Test plumbing shared by every subsystem.
#
# kestrun_add_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [NATIVE_ONLY] [WINDOWS_ONLY])
#   Builds a GoogleTest executable. Natively each TEST becomes its own CTest case;
#   under Wine the whole executable is one case (starting a Windows process costs
#   far more than a native one). Windows tests run through the Wine wrapper with
#   the Xvfb/wineserver session fixture, from the bin folder where Kestrun.exe and
#   Equalizer.ax live.

include(GoogleTest)

if(KESTRUN_BUILD_TESTS AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  find_path(KESTRUN_GOOGLETEST_SOURCE CMakeLists.txt
    PATHS /usr/src/googletest NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  add_subdirectory(${KESTRUN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
endif()

set(KESTRUN_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(KESTRUN_SOURCE_DIR ${KESTRUN_SOURCE_DIR} ABSOLUTE)

if(WIN32 AND KESTRUN_USE_WINE)
  # The wrapper carries this build tree's Wine prefix and display.
  configure_file(${KESTRUN_SOURCE_DIR}/scripts/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  set(KESTRUN_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)

  add_test(NAME wine_session_start
    COMMAND ${KESTRUN_SOURCE_DIR}/scripts/wine-session.sh start ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_session_stop
    COMMAND ${KESTRUN_SOURCE_DIR}/scripts/wine-session.sh stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

function(kestrun_add_gtest name)
  cmake_parse_arguments(ARG "NATIVE_ONLY;WINDOWS_ONLY" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT KESTRUN_BUILD_TESTS)
    return()
  endif()
  if(ARG_NATIVE_ONLY AND WIN32)
    return()
  endif()
  if(ARG_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  if(WIN32)
    # Console test programs; the source folder is handed over for fixtures.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED wine
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
      TIMEOUT ${ARG_TIMEOUT}
      LABELS "windows;${ARG_LABELS}"
      ENVIRONMENT "KESTRUN_SOURCE_DIR=${KESTRUN_SOURCE_DIR};KESTRUN_BINARY_DIR=${CMAKE_BINARY_DIR}")
  else()
    # The discovered tests' properties go through a list, so only one label fits:
    # the test's own (for example "concurrency", which the ThreadSanitizer run
    # selects) or else "native".
    set(label native)
    if(ARG_LABELS)
      list(GET ARG_LABELS 0 label)
    endif()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
      PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        LABELS ${label}
        ENVIRONMENT "KESTRUN_SOURCE_DIR=${KESTRUN_SOURCE_DIR}")
  endif()
endfunction()

# kestrun_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS <dir> [RUNS n])
#   A libFuzzer target (native clang builds with KESTRUN_BUILD_FUZZERS=ON). CTest
#   replays its seed corpus and then makes n further inputs from a fixed seed, so a
#   test run is repeatable for a given build: a crash on a seed, or on the fixed
#   sequence, fails it. Longer, open-ended runs are done by hand.
function(kestrun_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS;SECONDS;RUNS" "SOURCES;LIBS" ${ARGN})
  if(WIN32 OR NOT KESTRUN_BUILD_FUZZERS OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  if(NOT ARG_RUNS)
    set(ARG_RUNS 20000)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set(work ${CMAKE_BINARY_DIR}/fuzz/${name})
  # New inputs go to a fresh corpus in the build tree; the seeds in the repository
  # are only read.
  add_test(NAME ${name}_smoke
    COMMAND sh -c "rm -rf '${work}/corpus' && mkdir -p '${work}/corpus' && exec \"$0\" \"$@\""
      $<TARGET_FILE:${name}> -seed=1 -runs=${ARG_RUNS} -rss_limit_mb=2048
      -artifact_prefix=${work}/ ${work}/corpus ${ARG_CORPUS})
  set_tests_properties(${name}_smoke PROPERTIES LABELS "fuzz" TIMEOUT 300)
  file(MAKE_DIRECTORY ${work}/corpus)
endfunction()
