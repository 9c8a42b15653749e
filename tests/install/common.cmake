# Helpers of the install, shared-library and package checks (cmake -P scripts).
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_command.cmake)

# What consumer.c (and the C programs built from it) and consumer.cpp print.
set(c_output "3.000000\n1.000000\n2.000000\n")
set(cxx_output "3.000000\n")

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

# Builds consumer.c as strict C11 with the compiler `cc` into `exe`, with the
# flags `pkg-config --cflags --libs mtrx` prints (--static with STATIC; the
# package PACKAGE instead of mtrx), followed by the LINK arguments. The
# caller points pkg-config at the .pc file.
function(pkg_config_consumer cc exe)
  cmake_parse_arguments(PARSE_ARGV 2 arg STATIC PACKAGE LINK)
  if(NOT arg_PACKAGE)
    set(arg_PACKAGE mtrx)
  endif()
  if(arg_STATIC)
    run(pkg-config --static --cflags --libs ${arg_PACKAGE})
  else()
    run(pkg-config --cflags --libs ${arg_PACKAGE})
  endif()
  string(STRIP "${out}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${cc} -std=c11 -Wall -Wextra -Werror -pedantic ${SOURCE_DIR}/tests/install/consumer.c
      ${flags} ${arg_LINK} -o ${exe})
endfunction()

# Every function <mtrx/mtrx.h> declares (with mtrx_status.h, which it includes), sorted, as the C compiler `cc` reads
# the header under the include directories given last (-aux-info lists each
# prototype with its file).
function(declared_functions var cc scratch)
  file(WRITE ${scratch}/declared.c "#include <mtrx/mtrx.h>\n")
  list(TRANSFORM ARGN PREPEND -I OUTPUT_VARIABLE includes)
  run(${cc} -std=c11 -fsyntax-only ${includes} -aux-info ${scratch}/declared.txt
      ${scratch}/declared.c)
  file(STRINGS ${scratch}/declared.txt lines REGEX "mtrx/mtrx(_status)?\\.h:")
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

# The names a shared library exports: `nm -D` lists an ELF library's, and
# `objdump -p` (OBJDUMP) prints a DLL's export table as "[ n] name" lines
# after "[Ordinal/Name Pointer] Table".
function(exported_names var library)
  if(library MATCHES "\\.dll$")
    run(${OBJDUMP} -p ${library})
    set(heading "\\[Ordinal/Name Pointer\\] Table\n")
    string(REGEX MATCH "${heading}(\t\\[ *[0-9]+\\] [^\n]+\n)*" out "${out}")
    string(REGEX REPLACE "${heading}" "" out "${out}")
  else()
    run(nm -D --defined-only ${library})
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${out}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".* " "" name "${line}")
    list(APPEND names ${name})
  endforeach()
  set(${var} "${names}" PARENT_SCOPE)
endfunction()

# The items of list `a` that are not in list `b`.
function(list_minus var a b)
  set(result "")
  foreach(item IN LISTS a)
    if(NOT item IN_LIST b)
      list(APPEND result ${item})
    endif()
  endforeach()
  set(${var} "${result}" PARENT_SCOPE)
endfunction()

# Stops the check unless `library` exports exactly the functions mtrx.h
# declares, as the C compiler `cc` reads the header under `include_dir`.
function(require_exports library cc include_dir scratch)
  exported_names(exported ${library})
  declared_functions(declared ${cc} ${scratch} ${include_dir})
  list_minus(extra "${exported}" "${declared}")
  list_minus(missing "${declared}" "${exported}")
  if(missing OR extra)
    message(FATAL_ERROR "${library} exports what mtrx.h does not declare: ${extra}\n"
                        "and does not export what it declares: ${missing}")
  endif()
endfunction()
