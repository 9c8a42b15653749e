# The Windows developer package: made as `make dist` makes it, unpacked into
# a fresh folder; the DLL exports exactly what mtrx.h declares; a C program
# built with the mingw-w64 compiler through the CMake package, once against
# the static library and once against the DLL (which is put beside it), and
# once through `pkg-config --static`, runs under Wine.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} -DWORK_DIR=${WORK_DIR}/package ${PACKAGE_ARGS})
file(GLOB zip ${WORK_DIR}/package/mtrx-*-win64-dev.zip)
run(${CMAKE_COMMAND} -E make_directory ${WORK_DIR}/unpacked)
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/unpacked ${CMAKE_COMMAND} -E tar xf ${zip})
file(GLOB root ${WORK_DIR}/unpacked/mtrx-*-win64-dev)
require_files(${root} include/mtrx/mtrx.h include/mtrx/mtrx_export.h lib/libmtrx.a
  lib/libmtrx.dll.a bin/mtrx.dll lib/pkgconfig/mtrx.pc lib/cmake/mtrx/mtrxConfig.cmake
  lib/cmake/mtrx/mtrxConfigVersion.cmake lib/cmake/mtrx/mtrxTargets-static.cmake
  lib/cmake/mtrx/mtrxTargets-shared.cmake README.md LICENSE)

require_exports(${root}/bin/mtrx.dll ${C_COMPILER} ${root}/include ${WORK_DIR})

# Whether a program loads mtrx.dll.
function(imports_dll var exe)
  run(${OBJDUMP} -p ${exe})
  string(TOLOWER "${out}" out)
  if(out MATCHES "dll name: mtrx\\.dll")
    set(${var} ON PARENT_SCOPE)
  else()
    set(${var} OFF PARENT_SCOPE)
  endif()
endfunction()

# (mtrx_DIR, as the cross toolchain looks for packages only under its own root)
foreach(shared OFF ON)
  set(bin ${WORK_DIR}/c-shared-${shared})
  build_project(${SOURCE_DIR}/tests/install/c ${bin} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -Dmtrx_DIR=${root}/lib/cmake/mtrx -DBUILD_SHARED_LIBS=${shared} -DCMAKE_EXE_LINKER_FLAGS=-static)
  imports_dll(loads ${bin}/consumer_c.exe)
  if(NOT loads STREQUAL shared)
    message(FATAL_ERROR "BUILD_SHARED_LIBS=${shared}: the program loads mtrx.dll: ${loads}")
  endif()
  if(shared)
    file(COPY ${root}/bin/mtrx.dll DESTINATION ${bin})
  endif()
  expect_output("${c_output}" ${EMULATOR} ${bin}/consumer_c.exe)
endforeach()

set(ENV{PKG_CONFIG_LIBDIR} ${root}/lib/pkgconfig)
pkg_config_consumer(${C_COMPILER} ${WORK_DIR}/consumer_pc.exe STATIC LINK -static)
expect_output("${c_output}" ${EMULATOR} ${WORK_DIR}/consumer_pc.exe)
