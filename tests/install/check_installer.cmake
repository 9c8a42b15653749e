# The Windows installer, made as `make dist` makes it, in a Wine prefix of
# its own made for the test (WORK_DIR/prefix): installed silently into the
# default folder and into one /D= names; each time the programs, README.md,
# LICENSE and the uninstaller are there, the Start-menu shortcut points at
# quendle.exe, the uninstall entry is in the 64-bit registry with every value
# Add/Remove Programs reads, and the installed quendle-solve.exe solves the
# example system. Then the entry's QuietUninstallString, run as Windows runs
# it, leaves nothing behind: folder, shortcut and entry are gone.
#   SOURCE_DIR, WORK_DIR, EMULATOR (cmake/wine-run), VERSION, INSTALLER_ARGS
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} -DWORK_DIR=${WORK_DIR}/package ${INSTALLER_ARGS})
set(setup ${WORK_DIR}/package/quendle-${VERSION}-setup.exe)

# A fresh prefix; Wine is kept from making Linux menu entries of the shortcut.
set(ENV{WINEPREFIX} ${WORK_DIR}/prefix)
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=;winemenubuilder.exe=d")
run(${EMULATOR} wineboot -i)
run(wineserver -w)
set(drive_c ${WORK_DIR}/prefix/drive_c)
set(key "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quendle")
set(shortcut "${drive_c}/ProgramData/Microsoft/Windows/Start Menu/Programs/Quendle.lnk")

# The value `name` of the uninstall entry as `reg query` prints it.
function(entry_value var name)
  string(REGEX MATCH "\n    ${name}    REG_[A-Z]+    ([^\r\n]*)" found "${entry}")
  if(NOT found)
    message(FATAL_ERROR "the uninstall entry has no ${name}:\n${entry}")
  endif()
  set(${var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

foreach(place default custom)
  if(place STREQUAL "default")
    set(args /S)
    set(windows_dir "C:\\Program Files\\Quendle")
    set(dir "${drive_c}/Program Files/Quendle")
  else()
    set(args /S "/D=C:\\Apps\\Quendle")
    set(windows_dir "C:\\Apps\\Quendle")
    set(dir "${drive_c}/Apps/Quendle")
  endif()
  run(${EMULATOR} ${setup} ${args})
  require_files(${dir} quendle.exe quendle-solve.exe README.md LICENSE uninstall.exe)

  # The shortcut's target, as the link file holds it (in UTF-16 or not).
  if(NOT EXISTS "${shortcut}")
    message(FATAL_ERROR "${place}: no Start-menu shortcut ${shortcut}")
  endif()
  file(READ "${shortcut}" lnk HEX)
  string(HEX "quendle.exe" ascii)
  string(REGEX REPLACE "(..)" "\\100" utf16 "${ascii}")
  if(NOT lnk MATCHES "${ascii}|${utf16}")
    message(FATAL_ERROR "${place}: the shortcut does not point at quendle.exe")
  endif()

  run(${EMULATOR} reg query "${key}")
  set(entry "${out}")
  entry_value(name DisplayName)
  entry_value(version DisplayVersion)
  entry_value(publisher Publisher)
  entry_value(location InstallLocation)
  entry_value(uninstall UninstallString)
  entry_value(quiet QuietUninstallString)
  entry_value(no_modify NoModify)
  entry_value(no_repair NoRepair)
  entry_value(size EstimatedSize)
  set(expected "Quendle|${VERSION}|The Quendle developers|${windows_dir}|\"${windows_dir}\\uninstall.exe\"|\"${windows_dir}\\uninstall.exe\" /S|0x1|0x1")
  set(got "${name}|${version}|${publisher}|${location}|${uninstall}|${quiet}|${no_modify}|${no_repair}")
  if(NOT got STREQUAL expected)
    message(FATAL_ERROR "${place}: the uninstall entry holds\n${got}\nnot\n${expected}")
  endif()
  # EstimatedSize is in KiB: the installed files' size.
  file(GLOB installed "${dir}/*")
  set(bytes 0)
  foreach(f IN LISTS installed)
    file(SIZE ${f} s)
    math(EXPR bytes "${bytes} + ${s}")
  endforeach()
  math(EXPR kib "${bytes} / 1024")
  math(EXPR size "${size}")
  math(EXPR off "${size} - ${kib}")
  if(off LESS -8 OR off GREATER 8)
    message(FATAL_ERROR "${place}: EstimatedSize is ${size} KiB, the files take ${kib} KiB")
  endif()
  # Written where 64-bit programs read, not in the 32-bit view.
  execute_process(COMMAND ${EMULATOR} reg query
    "HKLM\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quendle"
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    message(FATAL_ERROR "${place}: the uninstall entry is in the 32-bit registry view")
  endif()

  run(${CMAKE_COMMAND} "-DTOOL=${dir}/quendle-solve.exe" -DEMULATOR=${EMULATOR}
    -DSTDIN=${SOURCE_DIR}/tests/console/data/example.txt -DRC=0
    -DECHO=${SOURCE_DIR}/tests/console/data/example.txt
    -DREPORT=${SOURCE_DIR}/tests/console/data/example.report
    -DOUT_DIR=${WORK_DIR}/solve-${place} -P ${SOURCE_DIR}/tests/console/run_case.cmake)

  # The quiet uninstall: "<folder>\uninstall.exe" /S. The uninstaller runs a
  # copy of itself from the temporary folder and returns at once; the copy
  # is done when the prefix's last process has ended.
  if(NOT quiet MATCHES "^\"([^\"]+)\" (.*)$")
    message(FATAL_ERROR "QuietUninstallString is not a quoted program and its arguments: ${quiet}")
  endif()
  run(${EMULATOR} "${CMAKE_MATCH_1}" ${CMAKE_MATCH_2})
  run(wineserver -w)
  if(EXISTS "${dir}" OR EXISTS "${shortcut}")
    file(GLOB_RECURSE left "${dir}/*")
    message(FATAL_ERROR "${place}: the uninstaller left ${dir} (${left}) or the shortcut")
  endif()
  execute_process(COMMAND ${EMULATOR} reg query "${key}" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    message(FATAL_ERROR "${place}: the uninstall entry is still there")
  endif()
endforeach()

run(wineserver -k)
file(REMOVE_RECURSE ${WORK_DIR}/prefix)
