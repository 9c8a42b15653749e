# Installs the build into a scratch prefix, then builds and runs a C11 program
# through pkg-config, a C++ program and a C program through find_package(mtrx).
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
require_files(${prefix} include/mtrx/mtrx.h include/mtrx/mtrx_status.h include/mtrx/mtrx_export.h lib/libmtrx.a
  lib/pkgconfig/mtrx.pc lib/pkgconfig/mtrx-static.pc lib/cmake/mtrx/mtrxConfig.cmake lib/cmake/mtrx/mtrxConfigVersion.cmake
  bin/quendle-solve share/man/man1/quendle-solve.1)

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
pkg_config_consumer(gcc ${WORK_DIR}/consumer_c STATIC)
expect_output("${c_output}" ${WORK_DIR}/consumer_c)

build_project(${SOURCE_DIR}/tests/install ${WORK_DIR}/cxx -DCMAKE_PREFIX_PATH=${prefix})
expect_output("${cxx_output}" ${WORK_DIR}/cxx/consumer)

# A C-only CMake project: the package names the C++ runtime for its linker.
build_project(${SOURCE_DIR}/tests/install/c ${WORK_DIR}/c -DCMAKE_PREFIX_PATH=${prefix})
expect_output("${c_output}" ${WORK_DIR}/c/consumer_c)
