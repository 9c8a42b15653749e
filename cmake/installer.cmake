# The Windows installer, quendle-<version>-setup.exe (cmake/installer.nsi):
#
#   cmake -DSOURCE_DIR=... -DTREE=<a Windows tree, built> -DVERSION=...
#         -DWORK_DIR=... -P installer.cmake
#
# Installs the tree's `dist` component (the two programs, README.md and
# LICENSE), stripped, into WORK_DIR/stage and has makensis pack it as
# WORK_DIR/quendle-<version>-setup.exe.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/run_command.cmake)

find_program(MAKENSIS makensis REQUIRED)
set(stage ${WORK_DIR}/stage)
set(setup ${WORK_DIR}/quendle-${VERSION}-setup.exe)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${setup})
run(${CMAKE_COMMAND} --install ${TREE} --component dist --prefix ${stage} --strip)
run(${MAKENSIS} -V2 -NOCD -DVERSION=${VERSION} -DSTAGE=${stage} -DICON=${SOURCE_DIR}/res/quendle.ico
  -DOUTFILE=${setup} ${SOURCE_DIR}/cmake/installer.nsi)
