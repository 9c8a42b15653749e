# Helpers of the install, shared-library and package checks (cmake -P scripts).
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_command.cmake)

# Stops the check unless every one of the paths exists under `dir`.
function(require_files dir)
  foreach(f ${ARGN})
    if(NOT EXISTS ${dir}/${f})
      message(FATAL_ERROR "not installed: ${f} (in ${dir})")
    endif()
  endforeach()
endfunction()

# Configures (Release) and builds the CMake project in `source` in `binary`.
function(build_project source binary)
  run(${CMAKE_COMMAND} -S ${source} -B ${binary} -DCMAKE_BUILD_TYPE=Release ${ARGN})
  run(${CMAKE_COMMAND} --build ${binary} -j 2)
endfunction()

# Runs a consumer program and compares what it prints.
function(expect_output expected)
  run(${ARGN})
  string(REPLACE "\r\n" "\n" out "${out}")
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "${ARGN} printed:\n${out}\nexpected:\n${expected}")
  endif()
endfunction()

# Every function <mtrx/mtrx.h> declares, sorted, as the C compiler `cc` reads
# the header under `include_dir` (-aux-info lists each prototype with its file).
function(declared_functions var cc include_dir scratch)
  file(WRITE ${scratch}/declared.c "#include <mtrx/mtrx.h>\n")
  run(${cc} -std=c11 -fsyntax-only -I${include_dir} -aux-info ${scratch}/declared.txt
      ${scratch}/declared.c)
  file(STRINGS ${scratch}/declared.txt lines REGEX "mtrx/mtrx\\.h:")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "([A-Za-z_][A-Za-z_0-9]*) \\(" name "${line}")
    list(APPEND names ${CMAKE_MATCH_1})
  endforeach()
  list(LENGTH names n)
  if(n LESS 10)
    message(FATAL_ERROR "only ${n} functions found in mtrx.h: ${names}")
  endif()
  list(SORT names)
  set(${var} "${names}" PARENT_SCOPE)
endfunction()

# Stops the check unless the names `library` exports (sorted list) are
# exactly the functions the header declares.
function(require_exports library exported declared)
  set(missing "")
  foreach(name IN LISTS declared)
    if(NOT name IN_LIST exported)
      list(APPEND missing ${name})
    endif()
  endforeach()
  set(extra "")
  foreach(name IN LISTS exported)
    if(NOT name IN_LIST declared)
      list(APPEND extra ${name})
    endif()
  endforeach()
  if(missing OR extra)
    message(FATAL_ERROR "${library} exports what mtrx.h does not declare: ${extra}\n"
                        "and does not export what it declares: ${missing}")
  endif()
endfunction()
