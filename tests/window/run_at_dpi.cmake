# Runs the window's DPI tests (test_dpi.cpp) at another DPI than the other
# window tests: in a Wine prefix of its own (WORK_DIR/prefix, made on first
# use and kept), whose LogPixels says DPI, with the window left unmanaged as
# in the project's prefix. QUENDLE_TEST_DPI tells the test what the system
# must report. The prefix's wineserver is ended afterwards, pass or fail.
#   EMULATOR (cmake/wine-run), TEST (test_window.exe), WORK_DIR, DPI
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_command.cmake)

set(ENV{WINEPREFIX} ${WORK_DIR}/prefix)
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=;winemenubuilder.exe=d")
if(NOT EXISTS ${WORK_DIR}/prefix/system.reg)
  file(MAKE_DIRECTORY ${WORK_DIR}/prefix)
  run(${EMULATOR} wineboot -i)
  run(wineserver -w)
endif()
# One server for the steps below (its output into a file: it stays, and a
# pipe would keep this script waiting for it).
execute_process(COMMAND wineserver -p OUTPUT_FILE ${WORK_DIR}/wineserver.log
  ERROR_FILE ${WORK_DIR}/wineserver.log)
run(${EMULATOR} reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d ${DPI} /f)
run(${EMULATOR} reg add "HKCU\\Software\\Wine\\AppDefaults\\test_window.exe\\X11 Driver"
  /v Managed /d N /f)

set(ENV{QUENDLE_TEST_DPI} ${DPI})
execute_process(COMMAND ${EMULATOR} ${TEST} --gtest_filter=MainWindow.*Dpi*
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
execute_process(COMMAND wineserver -k OUTPUT_QUIET ERROR_QUIET)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the window's DPI tests failed at ${DPI} DPI (${rc})")
endif()
if(NOT out MATCHES "\\[  PASSED  \\] 1 test")
  message(FATAL_ERROR "the window's DPI test did not run at ${DPI} DPI")
endif()
