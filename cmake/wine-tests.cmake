# The wine suite in the Linux build (CTest label "wine"): the Windows programs, built from these
# same sources by this same build, run under Wine in one Wine session that the suite's tests
# share. Included by the top-level CMakeLists.txt when the tests are built.
option(NX_WINE_TESTS "Build the Windows programs too and run them under Wine" OFF)
set(NX_WINE_SESSION_SCRIPT ${PROJECT_SOURCE_DIR}/tests/wine/wine_session.sh)
if(NOT NX_WINE_TESTS)
  # Without the suite, bench/wine runs the windows preset's programs.
  set(NX_WINDOWS_BIN ${PROJECT_SOURCE_DIR}/build/windows/bin)
  return()
endif()

find_program(NX_MINGW_CXX x86_64-w64-mingw32-g++-posix)
nx_require(NX_MINGW_CXX g++-mingw-w64-x86-64-posix "x86_64-w64-mingw32-g++-posix")
foreach(tool wine wineserver wineboot)
  find_program(NX_${tool}_PROGRAM ${tool})
  nx_require(NX_${tool}_PROGRAM "wine (with wine64)" ${tool})
endforeach()
find_program(NX_XVFB_PROGRAM Xvfb)
nx_require(NX_XVFB_PROGRAM xvfb Xvfb)

# The Windows build: this source tree configured with the MinGW-w64 toolchain as the windows
# preset does, in build/<preset>/windows, and built (its own Ninja deciding what is out of
# date) every time this build is, so that no test can run a Windows program older than its
# sources. Every target that runs Windows programs depends on it.
include(ExternalProject)
set(NX_WINDOWS_BIN ${CMAKE_BINARY_DIR}/windows/bin)
ExternalProject_Add(nxwindows_programs
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/windows
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
             -DCMAKE_BUILD_TYPE=Release -DNX_WERROR=ON
             -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${NX_WINDOWS_BIN}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_CONFIGURE ON
  USES_TERMINAL_BUILD ON)

# The session: made by the test wine_session_start before the first test that needs it, ended
# by wine_session_end after the last (tests/wine/CMakeLists.txt), and described meanwhile in the
# file NX_WINE_SESSION. Its tests take turns (one prefix: its process walks, named objects and screen are shared) and
# each has its own time limit.
set(NX_WINE_SESSION ${CMAKE_BINARY_DIR}/wine-session)
set(NX_WINE_TEST_PROPERTIES LABELS wine FIXTURES_REQUIRED wine_session
                            RESOURCE_LOCK wine_session TIMEOUT 120)

# Registers each test of a Windows test program (built by nxwindows_programs) as a CTest test
# "wine.SUITE.NAME" run in the session, on a fresh device of its own. The program is built from
# the same sources as the Linux test program linux_target, whose list of tests
# (--gtest_list_tests, read when ctest starts) names them: no Wine is needed to list them. A
# listed test that the Windows program lacks fails (it would run no test).
function(nx_wine_gtest linux_target windows_program)
  add_dependencies(${linux_target} nxwindows_programs)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${linux_target}_wine_tests.cmake)
  file(GENERATE OUTPUT ${include_file} CONTENT
"set(linux_program [==[$<TARGET_FILE:${linux_target}>]==])
set(run [==[${NX_WINE_SESSION_SCRIPT};device;${NX_WINE_SESSION};${NX_WINDOWS_BIN}/${windows_program}]==])
set(properties [==[${NX_WINE_TEST_PROPERTIES}]==])
include([==[${PROJECT_SOURCE_DIR}/cmake/wine-gtest-cases.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
