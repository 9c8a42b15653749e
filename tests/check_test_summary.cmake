# tools/test_summary.py, which ends `make test`, on results CTest and pytest
# really write: a CTest run with a passing, a failing, a skipped and an
# unstartable test, a pytest run with a passing, a failing and a skipped one,
# and runs without failures. Its exit status is make test's, so it must be 0
# exactly when every run exited 0, left its results and failed nothing.
#
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DPYTHON=<python3 with pytest> -P check_test_summary.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/run_command.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
set(logs ${WORK_DIR}/logs)
file(MAKE_DIRECTORY ${logs} ${WORK_DIR}/ctest ${WORK_DIR}/pytest)

# One run of each kind with failures (`mixed`) and one without (`good`).
file(WRITE ${WORK_DIR}/ctest/CMakeLists.txt [[
cmake_minimum_required(VERSION 3.25)
project(summary NONE)
enable_testing()
add_test(NAME good COMMAND true)
add_test(NAME skip COMMAND sh -c "exit 77")
set_tests_properties(skip PROPERTIES SKIP_RETURN_CODE 77)
if(MIXED)
  add_test(NAME bad COMMAND false)
  add_test(NAME missing COMMAND /nonexistent/program)
endif()
]])
file(WRITE ${WORK_DIR}/pytest/test_summary_input.py [[
import os
import pytest

def test_good():
    pass

@pytest.mark.skip(reason="skipped on purpose")
def test_skipped():
    pass

@pytest.mark.skipif(not os.environ.get("MIXED"), reason="only in the mixed run")
def test_bad():
    assert False
]])
foreach(run good mixed)
  if(run STREQUAL "mixed")
    set(with_failures ON)
    set(ENV{MIXED} 1)
  else()
    set(with_failures OFF)
    unset(ENV{MIXED})
  endif()
  run(${CMAKE_COMMAND} -S ${WORK_DIR}/ctest -B ${WORK_DIR}/ctest-${run} -DMIXED=${with_failures})
  execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --output-junit ${logs}/ctest-${run}.xml
    WORKING_DIRECTORY ${WORK_DIR}/ctest-${run} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  file(WRITE ${logs}/ctest-${run}.status "${rc}\n")
  execute_process(COMMAND ${PYTHON} -m pytest -q -p no:cacheprovider
      --junitxml=${logs}/pytest-${run}.xml ${WORK_DIR}/pytest
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  file(WRITE ${logs}/pytest-${run}.status "${rc}\n")
endforeach()
# A run whose results are all passes but whose command failed after them,
# and a run that left no results.
file(COPY_FILE ${logs}/ctest-good.xml ${logs}/late.xml)
file(WRITE ${logs}/late.status "2\n")
file(WRITE ${logs}/none.status "2\n")

# Runs the summary on the runs named; its exit status must be `want`, and
# its output must match every pattern given.
function(summary want)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "RUNS;MATCHES")
  execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/test_summary.py ${logs} ${arg_RUNS}
    RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_VARIABLE err)
  if(NOT rc EQUAL want)
    message(FATAL_ERROR "the summary of ${arg_RUNS} exited ${rc}, not ${want}:\n${said}${err}")
  endif()
  foreach(pattern IN LISTS arg_MATCHES)
    if(NOT said MATCHES "${pattern}")
      message(FATAL_ERROR "the summary of ${arg_RUNS} does not match '${pattern}':\n${said}")
    endif()
  endforeach()
endfunction()

summary(0 RUNS "ctest-good=CTest" "pytest-good=pytest"
  MATCHES "\nCTest +1 tests, 1 skipped +passed\n" "\npytest +1 tests, 2 skipped +passed\n"
          "\nEvery test passed \\(2 tests\\)\\.\n$")
summary(1 RUNS "ctest-good=CTest" "ctest-mixed=Mixed CTest"
  MATCHES "\nMixed CTest +3 tests, 1 skipped +2 FAILED: (bad, missing|missing, bad)\n"
          "make test FAILED \\(2 of 4 tests failed")
summary(1 RUNS "pytest-mixed=pytest"
  MATCHES "\npytest +2 tests, 1 skipped +1 FAILED: [^ ]*test_summary_input::test_bad\n")
summary(1 RUNS "ctest-good=CTest" "late=Late" MATCHES "\nLate +1 tests, 1 skipped +FAILED \\(exit status 2\\)\n")
summary(1 RUNS "pytest-good=pytest" "none=None" MATCHES "\nNone +- +no results \\(exit status 2\\)\n")
