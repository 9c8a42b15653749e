# The Windows developer package: made as `make dist` makes it, unpacked into
# a fresh folder; the DLL exports exactly what mtrx.h declares. Programs built
# against it with the mingw-w64 compilers run under Wine, each alone in its
# folder (the DLL beside those that load it) and loading none of MinGW's
# runtime DLLs (libstdc++, libgcc, winpthread), which a Windows machine does
# not have: a C program through the CMake package against the static library
# and against the DLL, a C++ program through it against the static library,
# and the C program through `pkg-config mtrx-static` and `pkg-config mtrx`.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} -DWORK_DIR=${WORK_DIR}/package ${PACKAGE_ARGS})
file(GLOB zip ${WORK_DIR}/package/mtrx-*-win64-dev.zip)
run(${CMAKE_COMMAND} -E make_directory ${WORK_DIR}/unpacked)
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/unpacked ${CMAKE_COMMAND} -E tar xf ${zip})
file(GLOB root ${WORK_DIR}/unpacked/mtrx-*-win64-dev)
require_files(${root} include/mtrx/mtrx.h include/mtrx/mtrx_status.h include/mtrx/mtrx_export.h lib/libmtrx.a
  lib/libmtrx.dll.a bin/mtrx.dll lib/pkgconfig/mtrx.pc lib/pkgconfig/mtrx-static.pc
  lib/cmake/mtrx/mtrxConfig.cmake
  lib/cmake/mtrx/mtrxConfigVersion.cmake lib/cmake/mtrx/mtrxTargets-static.cmake
  lib/cmake/mtrx/mtrxTargets-shared.cmake README.md LICENSE)

require_exports(${root}/bin/mtrx.dll ${C_COMPILER} ${root}/include ${WORK_DIR})

# Checks the DLLs `exe` imports: mtrx.dll exactly when `shared`, and none of
# the compiler's (MinGW's runtime DLLs are all named lib*.dll; Windows' own
# never are); then runs it under Wine, alone in its folder but for mtrx.dll.
function(run_alone exe shared expected)
  run(${OBJDUMP} -p ${exe})
  string(TOLOWER "${out}" out)
  string(REGEX MATCHALL "dll name: [^\n]+" imports "${out}")
  string(REPLACE "dll name: " "" imports "${imports}")
  set(loads OFF)
  if("mtrx.dll" IN_LIST imports)
    set(loads ON)
  endif()
  if(NOT loads STREQUAL shared)
    message(FATAL_ERROR "${exe} imports ${imports}: mtrx.dll should be among them: ${shared}")
  endif()
  list(FILTER imports INCLUDE REGEX "^lib.*\\.dll$")
  if(imports)
    message(FATAL_ERROR "${exe} needs MinGW's runtime DLLs beside it: ${imports}")
  endif()
  get_filename_component(dir ${exe} DIRECTORY)
  set(folder ${dir}/alone)
  file(REMOVE_RECURSE ${folder})
  file(COPY ${exe} DESTINATION ${folder})
  if(shared)
    file(COPY ${root}/bin/mtrx.dll DESTINATION ${folder})
  endif()
  get_filename_component(name ${exe} NAME)
  expect_output("${expected}" ${EMULATOR} ${folder}/${name})
endfunction()
# (Wine finds no DLL along a path of the caller's.)
unset(ENV{WINEPATH})

# (mtrx_DIR, as the cross toolchain looks for packages only under its own root)
foreach(shared OFF ON)
  set(bin ${WORK_DIR}/c-shared-${shared})
  build_project(${SOURCE_DIR}/tests/install/c ${bin} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -Dmtrx_DIR=${root}/lib/cmake/mtrx -DBUILD_SHARED_LIBS=${shared})
  run_alone(${bin}/consumer_c.exe ${shared} "${c_output}")
endforeach()
build_project(${SOURCE_DIR}/tests/install ${WORK_DIR}/cxx -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
  -Dmtrx_DIR=${root}/lib/cmake/mtrx)
run_alone(${WORK_DIR}/cxx/consumer.exe OFF "${cxx_output}")

set(ENV{PKG_CONFIG_LIBDIR} ${root}/lib/pkgconfig)
file(MAKE_DIRECTORY ${WORK_DIR}/pc-static ${WORK_DIR}/pc-shared)
pkg_config_consumer(${C_COMPILER} ${WORK_DIR}/pc-static/consumer.exe PACKAGE mtrx-static)
run_alone(${WORK_DIR}/pc-static/consumer.exe OFF "${c_output}")
pkg_config_consumer(${C_COMPILER} ${WORK_DIR}/pc-shared/consumer.exe)
run_alone(${WORK_DIR}/pc-shared/consumer.exe ON "${c_output}")
