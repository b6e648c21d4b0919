# Read by ctest as it starts, for one Windows test program (see nx_wine_gtest in
# wine-tests.cmake): adds a test "wine.SUITE.NAME" for each test that linux_program lists,
# running that one test of the Windows program (the command in run, then --gtest_filter).
if(NOT EXISTS "${linux_program}")
  get_filename_component(name "${linux_program}" NAME)
  add_test("wine.${name}_NOT_BUILT" "${linux_program}")
  return()
endif()
execute_process(COMMAND "${linux_program}" --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${linux_program} --gtest_list_tests failed (${result}):\n${listing}")
endif()

# Suites come unindented ("Suite." or "Instance/Suite."), their tests indented below them;
# parameterised ones end with a comment ("  # GetParam() = ...").
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE " *#.*" "" line "${line}")
  if(line MATCHES "^  +(.+)$")
    set(test "${suite}${CMAKE_MATCH_1}")
    add_test("wine.${test}" ${run} "--gtest_filter=${test}")
    set_tests_properties("wine.${test}" PROPERTIES ${properties}
                         FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from"
                         SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  elseif(line MATCHES "^[^ ].*\\.$")
    set(suite "${line}")
  endif()
endforeach()
