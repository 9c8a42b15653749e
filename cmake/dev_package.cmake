# The Windows developer package, mtrx-<version>-win64-dev.zip: the headers,
# the static library, the DLL with its import library, the pkg-config file
# and the CMake package (both kinds), README.md and LICENSE.
#
#   cmake -DSOURCE_DIR=... -DTREE=<a Windows tree, built> -DTREE_SHARED=<its BUILD_SHARED_LIBS>
#         -DTOOLCHAIN=... -DBUILD_TYPE=... -DVERSION=... -DWORK_DIR=... -P dev_package.cmake
#
# Builds the library alone as the other kind (with the tree's build type) in
# WORK_DIR/other-build, installs the static library and then the DLL into one
# folder and zips it as WORK_DIR/mtrx-<version>-win64-dev.zip.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/run_command.cmake)

set(name mtrx-${VERSION}-win64-dev)
set(other ${WORK_DIR}/other-build)
set(stage ${WORK_DIR}/${name})

if(TREE_SHARED)
  set(other_shared OFF)
  set(static_tree ${other})
  set(shared_tree ${TREE})
else()
  set(other_shared ON)
  set(static_tree ${TREE})
  set(shared_tree ${other})
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${other} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DBUILD_SHARED_LIBS=${other_shared}
    -DQUENDLE_BUILD_PROGRAMS=OFF -DQUENDLE_BUILD_TESTS=OFF -DQUENDLE_INSTALL=ON)
run(${CMAKE_COMMAND} --build ${other} -j 2 --target mtrx)

# The shared installation last: its mtrx_export.h (dllimport unless
# MTRX_STATIC_DEFINE) and mtrx.pc (the define in Cflags.private) serve both
# kinds; the static one's would serve only the static library.
file(REMOVE_RECURSE ${stage})
foreach(tree ${static_tree} ${shared_tree})
  foreach(component runtime dev)
    run(${CMAKE_COMMAND} --install ${tree} --component ${component} --prefix ${stage} --strip)
  endforeach()
endforeach()
file(COPY ${SOURCE_DIR}/README.md ${SOURCE_DIR}/LICENSE DESTINATION ${stage})

file(REMOVE ${WORK_DIR}/${name}.zip)
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name})
