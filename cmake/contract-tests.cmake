# The platform's contract: test programs whose one source list each platform's build builds.
# The Linux build runs their tests natively and, with NX_WINE_TESTS, each test of the Windows
# build of the same sources under Wine too (cmake/wine-tests.cmake).

if(WIN32)
  # GoogleTest for the Windows programs, built from Debian's own sources (the libraries of
  # libgtest-dev are Linux ones) as one static library with its main.
  find_path(NX_GOOGLETEST_DIR src/gtest-all.cc PATHS /usr/src/googletest/googletest
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  nx_require(NX_GOOGLETEST_DIR googletest "GoogleTest's sources (src/gtest-all.cc)")
  add_library(nxgtest_main STATIC ${NX_GOOGLETEST_DIR}/src/gtest-all.cc
                                  ${NX_GOOGLETEST_DIR}/src/gtest_main.cc)
  target_include_directories(nxgtest_main SYSTEM PUBLIC ${NX_GOOGLETEST_DIR}/include)
  target_include_directories(nxgtest_main PRIVATE ${NX_GOOGLETEST_DIR})
endif()

# nx_contract_tests(NAME SOURCES source... LIBRARIES library...): the test program NAME (on
# Windows NAME.exe, a console program) from the sources, with GoogleTest's main. Each test runs
# as a process of its own on a fresh device: on Linux a temporary device (the device test main,
# tests/support), under Wine a host folder mapped to a drive letter (wine_session.sh device).
function(nx_contract_tests name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${arg_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} nxgtest_main)
    target_link_options(${name} PRIVATE -mconsole)
  else()
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} nxtest_device_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
    if(NX_WINE_TESTS)
      nx_wine_gtest(${name} ${name}.exe)
    endif()
  endif()
endfunction()
