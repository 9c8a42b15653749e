# Installs the build into a scratch prefix, then builds and runs a C11 program
# through pkg-config, a C++ program and a C program through find_package(mtrx).
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
require_files(${prefix} include/mtrx/mtrx.h include/mtrx/mtrx_export.h lib/libmtrx.a
  lib/pkgconfig/mtrx.pc lib/cmake/mtrx/mtrxConfig.cmake lib/cmake/mtrx/mtrxConfigVersion.cmake
  bin/quendle-solve share/man/man1/quendle-solve.1)

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

# A C-only CMake project: the package names the C++ runtime for its linker.
build_project(${SOURCE_DIR}/tests/install/c ${WORK_DIR}/c -DCMAKE_PREFIX_PATH=${prefix})
expect_output("3.000000\n1.000000\n2.000000\n" ${WORK_DIR}/c/consumer_c)
