# The library's manual pages (section 3), as configured in PAGES_DIR (the
# family pages and the one-line pages that source them):
#  - every page renders with `man --warnings -l` without a warning;
#  - every function mtrx.h declares is named on the NAME line of a page, so
#    that apropos finds it, and `man 3 <function>` opens that page, in an
#    index that mandb builds of these pages alone.
#   SOURCE_DIR, PAGES_DIR, WORK_DIR, CC and INCLUDES (|-list: where mtrx/mtrx.h
#   and mtrx/mtrx_export.h are)
include(${CMAKE_CURRENT_LIST_DIR}/install/common.cmake)
set(ENV{LC_ALL} C.UTF-8)
set(ENV{MANWIDTH} 80)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/man/man3)
string(REPLACE "|" ";" includes "${INCLUDES}")
declared_functions(functions ${CC} ${WORK_DIR} ${includes})
file(GLOB files ${PAGES_DIR}/*.3)
set(named "")
set(pages "")
foreach(file IN LISTS files)
  file(COPY ${file} DESTINATION ${WORK_DIR}/man/man3)
  file(READ ${file} text)
  if(text MATCHES "^\\.so ")
    continue()
  endif()
  list(APPEND pages ${file})
  execute_process(COMMAND man --warnings -l ${file}
    RESULT_VARIABLE rc OUTPUT_VARIABLE shown ERROR_VARIABLE warnings)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "" OR NOT shown MATCHES "\nSYNOPSIS\n")
    message(FATAL_ERROR "man --warnings -l ${file} (status ${rc}):\n${warnings}\n${shown}")
  endif()
  # lexgrog reads the NAME section as mandb does: "file: "name - what"" per name.
  run(lexgrog ${file})
  string(REGEX MATCHALL ": \"[A-Za-z0-9_]+ - " entries "${out}")
  get_filename_component(page ${file} NAME)
  set(names_${page} "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^: \"([A-Za-z0-9_]+) - $" "\\1" entry "${entry}")
    list(APPEND named ${entry})
    list(APPEND names_${page} ${entry})
  endforeach()
endforeach()
list(LENGTH pages count)
if(count LESS 8)
  message(FATAL_ERROR "only ${count} pages in ${PAGES_DIR}: ${pages}")
endif()

list_minus(unnamed "${functions}" "${named}")
if(unnamed)
  message(FATAL_ERROR "no page names these functions on its NAME line: ${unnamed}")
endif()

# An index of these pages alone: apropos finds each function by its name,
# and man opens the page that describes it.
run(mandb -q ${WORK_DIR}/man)
foreach(f IN LISTS functions)
  execute_process(COMMAND apropos -M ${WORK_DIR}/man -s 3 -e ${f}
    RESULT_VARIABLE rc OUTPUT_VARIABLE found ERROR_QUIET)
  if(NOT rc EQUAL 0 OR NOT found MATCHES "(^|\n)${f} \\(3\\)")
    message(FATAL_ERROR "apropos -e ${f} found: '${found}'")
  endif()
  run(man -M ${WORK_DIR}/man -w 3 ${f})
  get_filename_component(page "${out}" NAME)
  string(STRIP "${page}" page)
  if(NOT f IN_LIST names_${page})
    message(FATAL_ERROR "man 3 ${f} opens ${out}, which does not name it")
  endif()
endforeach()
