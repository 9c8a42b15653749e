# Builds a project that takes in the source tree with add_subdirectory: only
# the library is built, the C program runs, and installing the project
# installs nothing of Quendle's.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})

build_project(${SOURCE_DIR}/tests/install/subproject ${WORK_DIR}/build -DQUENDLE_SOURCE_DIR=${SOURCE_DIR}
  -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
expect_output("${c_output}" ${WORK_DIR}/build/consumer_c)

run(${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${WORK_DIR}/prefix)
file(GLOB_RECURSE installed ${WORK_DIR}/prefix/*)
if(installed)
  message(FATAL_ERROR "installing the project installed: ${installed}")
endif()
