# Builds the library alone as a shared library, installs it into a scratch
# prefix, checks its soname and that it exports exactly what mtrx.h declares,
# then builds and runs the C11 program through pkg-config and the C and C++
# programs through find_package(mtrx) against it.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

set(compilers -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
build_project(${SOURCE_DIR} ${WORK_DIR}/build ${compilers} -DBUILD_SHARED_LIBS=ON
  -DQUENDLE_BUILD_PROGRAMS=OFF -DQUENDLE_BUILD_TESTS=OFF -DQUENDLE_INSTALL=ON)
run(${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${prefix})
require_files(${prefix} include/mtrx/mtrx.h include/mtrx/mtrx_status.h include/mtrx/mtrx_export.h lib/libmtrx.so
  lib/libmtrx.so.0 lib/pkgconfig/mtrx.pc lib/cmake/mtrx/mtrxConfig.cmake
  lib/cmake/mtrx/mtrxTargets-shared.cmake)
if(EXISTS ${prefix}/lib/libmtrx.a OR EXISTS ${prefix}/lib/pkgconfig/mtrx-static.pc)
  message(FATAL_ERROR "a shared build installed a static library or its pkg-config file")
endif()

run(objdump -p ${prefix}/lib/libmtrx.so)
if(NOT out MATCHES "SONAME +libmtrx\\.so\\.0\n")
  message(FATAL_ERROR "libmtrx.so has no soname libmtrx.so.0:\n${out}")
endif()

require_exports(${prefix}/lib/libmtrx.so ${C_COMPILER} ${prefix}/include ${WORK_DIR})

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
pkg_config_consumer(${C_COMPILER} ${WORK_DIR}/consumer_c)
run(objdump -p ${WORK_DIR}/consumer_c)
if(NOT out MATCHES "NEEDED +libmtrx\\.so\\.0\n")
  message(FATAL_ERROR "the C program does not load libmtrx.so.0:\n${out}")
endif()
set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
expect_output("${c_output}" ${WORK_DIR}/consumer_c)
unset(ENV{LD_LIBRARY_PATH})

build_project(${SOURCE_DIR}/tests/install/c ${WORK_DIR}/c -DCMAKE_PREFIX_PATH=${prefix} ${compilers})
expect_output("${c_output}" ${WORK_DIR}/c/consumer_c)
build_project(${SOURCE_DIR}/tests/install ${WORK_DIR}/cxx -DCMAKE_PREFIX_PATH=${prefix} ${compilers})
expect_output("${cxx_output}" ${WORK_DIR}/cxx/consumer)
