# Installs the build into a scratch prefix, then builds and runs a C11 program
# through pkg-config and a C++ program through find_package(mtrx).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f include/mtrx/mtrx.h lib/libmtrx.a lib/pkgconfig/mtrx.pc lib/cmake/mtrx/mtrxConfig.cmake
          lib/cmake/mtrx/mtrxConfigVersion.cmake bin/quendle-solve)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run(pkg-config --cflags --libs --static mtrx)
string(STRIP "${out}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(gcc -std=c11 -Wall -Wextra -Werror -pedantic ${SOURCE_DIR}/tests/install/consumer.c ${flags}
    -o ${WORK_DIR}/consumer_c)
run(${WORK_DIR}/consumer_c)
if(NOT out STREQUAL "3.000000\n1.000000\n2.000000\n")
  message(FATAL_ERROR "C consumer printed: ${out}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install -B ${WORK_DIR}/cxx
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cxx)
run(${WORK_DIR}/cxx/consumer)
if(NOT out STREQUAL "3.000000\n")
  message(FATAL_ERROR "C++ consumer printed: ${out}")
endif()
