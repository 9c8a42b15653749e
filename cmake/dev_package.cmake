# The Windows developer package, mtrx-<version>-win64-dev.zip: the headers,
# the static library, the DLL with its import library, the pkg-config file
# and the CMake package (both kinds), README.md and LICENSE.
#
#   cmake -DSOURCE_DIR=... -DSTATIC_BUILD=<the Windows tree, built> -DTOOLCHAIN=...
#         -DBUILD_TYPE=... -DVERSION=... -DWORK_DIR=... -P dev_package.cmake
#
# Builds the library alone as a DLL (with the static tree's build type) in
# WORK_DIR/shared-build, installs the static tree's library and then the DLL
# into one folder and zips it as WORK_DIR/mtrx-<version>-win64-dev.zip.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/run_command.cmake)

set(name mtrx-${VERSION}-win64-dev)
set(shared ${WORK_DIR}/shared-build)
set(stage ${WORK_DIR}/${name})

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${shared} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DBUILD_SHARED_LIBS=ON
    -DQUENDLE_BUILD_PROGRAMS=OFF -DQUENDLE_BUILD_TESTS=OFF -DQUENDLE_INSTALL=ON)
run(${CMAKE_COMMAND} --build ${shared} -j 2)

# The shared installation last: its mtrx_export.h (dllimport unless
# MTRX_STATIC_DEFINE) and mtrx.pc (the define in Cflags.private) serve both
# kinds; the static one's would serve only the static library.
file(REMOVE_RECURSE ${stage})
run(${CMAKE_COMMAND} --install ${STATIC_BUILD} --component mtrx --prefix ${stage} --strip)
run(${CMAKE_COMMAND} --install ${shared} --prefix ${stage} --strip)
file(COPY ${SOURCE_DIR}/README.md ${SOURCE_DIR}/LICENSE DESTINATION ${stage})

file(REMOVE ${WORK_DIR}/${name}.zip)
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name})
