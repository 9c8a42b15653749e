# The Debian packages libmtrx0, libmtrx-dev and quendle-solve (cmake/deb.cmake):
#
#   cmake -DSOURCE_DIR=<the source tree> -DWORK_DIR=<a folder> -P deb_packages.cmake
#
# Builds, with Debian's build flags and /usr as the prefix, the library alone
# as a static library in WORK_DIR/static and the shared library with
# quendle-solve in WORK_DIR/shared, then has CPack package both into
# WORK_DIR/packages. The trees are kept, so a second run builds only what
# changed.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/run_command.cmake)

# The compiler and linker flags Debian builds its packages with, with every
# hardening feature, from the source tree so that file paths are mapped as
# Debian's reproducible builds map them.
set(ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all)
foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
  execute_process(COMMAND dpkg-buildflags --get ${kind} WORKING_DIRECTORY ${SOURCE_DIR}
    OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(common -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
  "-DCMAKE_C_FLAGS=${CPPFLAGS} ${CFLAGS}" "-DCMAKE_CXX_FLAGS=${CPPFLAGS} ${CXXFLAGS}"
  "-DCMAKE_SHARED_LINKER_FLAGS=${LDFLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LDFLAGS}"
  -DQUENDLE_BUILD_TESTS=OFF -DQUENDLE_BUILD_FUZZ=OFF -DQUENDLE_INSTALL=ON)

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/static ${common}
  -DBUILD_SHARED_LIBS=OFF -DQUENDLE_BUILD_PROGRAMS=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/static -j 2)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/shared ${common}
  -DBUILD_SHARED_LIBS=ON -DQUENDLE_BUILD_PROGRAMS=ON -DQUENDLE_DEB_STATIC_TREE=${WORK_DIR}/static)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/shared -j 2)

file(REMOVE_RECURSE ${WORK_DIR}/packages)
run(cpack --config ${WORK_DIR}/shared/CPackConfig.cmake -B ${WORK_DIR}/packages)
file(GLOB debs ${WORK_DIR}/packages/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 3)
  message(FATAL_ERROR "CPack made ${count} packages, not 3: ${debs}\n${out}")
endif()
message(STATUS "${out}")
