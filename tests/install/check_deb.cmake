# The Debian packages, made as `make deb` makes them (in DEB_DIR, which it
# shares) and unpacked with dpkg-deb into a scratch root, as a user who
# installed them would use them:
#  - each package holds its own files and nothing else, the -dev package
#    depends on libmtrx0 of its very version and quendle-solve on libmtrx0;
#  - the README's C example built through pkg-config against the shared
#    library (run with the unpacked library) and, through mtrx-static, the
#    static one, and the C program through the CMake package, both kinds;
#  - the unpacked quendle-solve solves the example system;
#  - the manual pages render without a warning, `man 3 <function>` finds a
#    function's page;
#  - no package has a maintainer script: libmtrx0's loader cache is libc's
#    ldconfig trigger's work, and a postrm would leave the package in dpkg's
#    "config-files" state after `apt remove`;
#  - lintian finds no error in any of the three, and no call of ldconfig.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)
include(${SOURCE_DIR}/tests/readme_example.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DWORK_DIR=${DEB_DIR}
  -P ${SOURCE_DIR}/cmake/deb_packages.cmake)
run(dpkg-architecture -qDEB_HOST_MULTIARCH)
string(STRIP "${out}" multiarch)
set(lib usr/lib/${multiarch})

# What each package must hold (required) and may hold (a pattern every one
# of its files matches), then its fields.
set(runtime_files ${lib}/libmtrx.so.0 ${lib}/libmtrx.so.0.0.1)
set(runtime_may "${lib}/libmtrx\\.so\\.0(\\.0\\.1)?")
set(dev_files usr/include/mtrx/mtrx.h usr/include/mtrx/mtrx_status.h
  usr/include/mtrx/mtrx_export.h ${lib}/libmtrx.so
  ${lib}/libmtrx.a ${lib}/pkgconfig/mtrx.pc ${lib}/pkgconfig/mtrx-static.pc
  ${lib}/cmake/mtrx/mtrxConfig.cmake
  ${lib}/cmake/mtrx/mtrxConfigVersion.cmake ${lib}/cmake/mtrx/mtrxTargets-static.cmake
  ${lib}/cmake/mtrx/mtrxTargets-shared.cmake usr/share/man/man3/mtrx.3.gz
  usr/share/man/man3/mtrx_parse.3.gz)
set(dev_may "usr/include/mtrx/[a-z_]+\\.h|${lib}/(libmtrx\\.(so|a)|pkgconfig/mtrx(-static)?\\.pc|cmake/mtrx/[A-Za-z-]+\\.cmake)|usr/share/man/man3/[a-z0-9_]+\\.3\\.gz")
set(programs_files usr/bin/quendle-solve usr/share/man/man1/quendle-solve.1.gz)
set(programs_may "usr/bin/quendle-solve|usr/share/man/man1/quendle-solve\\.1\\.gz")

set(root ${WORK_DIR}/root)
file(GLOB debs ${DEB_DIR}/packages/*.deb)
foreach(kind runtime dev programs)
  set(name_runtime libmtrx0)
  set(name_dev libmtrx-dev)
  set(name_programs quendle-solve)
  set(name ${name_${kind}})
  file(GLOB deb ${DEB_DIR}/packages/${name}_*_*.deb)
  if(NOT deb)
    message(FATAL_ERROR "no package ${name} among ${debs}")
  endif()
  run(dpkg-deb -x ${deb} ${root})
  run(dpkg-deb -c ${deb})
  string(REGEX MATCHALL "[^\n]+" entries "${out}")
  foreach(entry IN LISTS entries)
    # "-rw-r--r-- root/root 1345 2026-12-09 13:19 ./usr/share/doc/x/copyright"
    if(NOT entry MATCHES "^([-dl])([-rwx]+) root/root +[0-9]+ [-0-9]+ [:0-9]+ \\./([^ ]*)")
      message(FATAL_ERROR "${name}: an entry not owned by root: ${entry}")
    endif()
    set(type ${CMAKE_MATCH_1})
    set(mode ${CMAKE_MATCH_2})
    set(path ${CMAKE_MATCH_3})
    if(type STREQUAL "d" OR path MATCHES "^usr/bin/")
      set(want rwxr-xr-x)
    elseif(type STREQUAL "l")
      set(want rwxrwxrwx)
    else()
      set(want rw-r--r--)
    endif()
    if(NOT mode STREQUAL want)
      message(FATAL_ERROR "${name}: ${path} has the mode ${mode}, not ${want}")
    endif()
    if(type STREQUAL "d" OR path MATCHES "^usr/share/doc/${name}/(copyright|changelog\\.Debian\\.gz)$")
      continue()
    endif()
    if(NOT path MATCHES "^(${${kind}_may})$")
      message(FATAL_ERROR "${name} holds ${path}, which is not its to hold")
    endif()
  endforeach()
  require_files(${root} ${${kind}_files} usr/share/doc/${name}/copyright
    usr/share/doc/${name}/changelog.Debian.gz)

  # The control archive: the fields, the checksums, for the library its
  # shlibs and the trigger, and nothing that runs.
  set(control ${WORK_DIR}/control/${name})
  file(MAKE_DIRECTORY ${WORK_DIR}/control)
  run(dpkg-deb --control ${deb} ${control})
  file(GLOB members RELATIVE ${control} ${control}/*)
  list_minus(extra "${members}" "control;md5sums;shlibs;triggers")
  if(extra)
    message(FATAL_ERROR "${name} has maintainer scripts or other control files: ${extra}")
  endif()
  if(kind STREQUAL "runtime")
    file(READ ${control}/triggers triggers)
    if(NOT triggers STREQUAL "activate-noawait ldconfig\n")
      message(FATAL_ERROR "libmtrx0's triggers are not libc's ldconfig trigger alone:\n${triggers}")
    endif()
  endif()

  run(dpkg-deb -f ${deb} Version)
  string(STRIP "${out}" version_${kind})
  run(dpkg-deb -f ${deb} Depends)
  string(STRIP "${out}" depends_${kind})
endforeach()
if(NOT depends_dev MATCHES "(^|, )libmtrx0 \\(= ${version_runtime}\\)(,|$)")
  message(FATAL_ERROR "libmtrx-dev depends on '${depends_dev}', not on libmtrx0 (= ${version_runtime})")
endif()
if(NOT depends_programs MATCHES "(^|, )libmtrx0( \\([^)]*\\))?(,|$)")
  message(FATAL_ERROR "quendle-solve depends on '${depends_programs}', not on libmtrx0")
endif()
foreach(runtime libc6 libstdc\\+\\+6)
  if(NOT depends_runtime MATCHES "(^|, )${runtime} ")
    message(FATAL_ERROR "libmtrx0 depends on '${depends_runtime}', not on ${runtime}")
  endif()
endforeach()
# The copyright file is machine-readable and carries the license.
file(READ ${root}/usr/share/doc/libmtrx0/copyright copyright)
if(NOT copyright MATCHES "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
   OR NOT copyright MATCHES "\nLicense: Expat\n Permission is hereby granted")
  message(FATAL_ERROR "the copyright file is not what Debian reads:\n${copyright}")
endif()

run(objdump -p ${root}/usr/bin/quendle-solve)
if(NOT out MATCHES "NEEDED +libmtrx\\.so\\.0\n")
  message(FATAL_ERROR "the packaged quendle-solve does not load libmtrx.so.0:\n${out}")
endif()

# Programs built against the unpacked tree. pkg-config reads only its files;
# the shared library is found there by LD_LIBRARY_PATH alone.
set(ENV{PKG_CONFIG_LIBDIR} ${root}/${lib}/pkgconfig)
set(ENV{LD_LIBRARY_PATH} ${root}/${lib})
run(pkg-config --cflags --libs mtrx)
separate_arguments(shared_flags UNIX_COMMAND "${out}")
readme_example_check(${WORK_DIR}/readme-shared gcc ${shared_flags})
run(objdump -p ${WORK_DIR}/readme-shared/example)
if(NOT out MATCHES "NEEDED +libmtrx\\.so\\.0\n")
  message(FATAL_ERROR "the example built through pkg-config does not load libmtrx.so.0")
endif()
# mtrx-static links the archive, although libmtrx.so lies beside it.
run(pkg-config --cflags --libs mtrx-static)
separate_arguments(static_flags UNIX_COMMAND "${out}")
readme_example_check(${WORK_DIR}/readme-static gcc ${static_flags})
run(objdump -p ${WORK_DIR}/readme-static/example)
if(out MATCHES "libmtrx\\.so")
  message(FATAL_ERROR "the example built through mtrx-static loads libmtrx.so")
endif()

foreach(shared OFF ON)
  build_project(${SOURCE_DIR}/tests/install/c ${WORK_DIR}/c-shared-${shared}
    -DCMAKE_PREFIX_PATH=${root}/usr -DBUILD_SHARED_LIBS=${shared} -DCMAKE_C_COMPILER=gcc)
  run(objdump -p ${WORK_DIR}/c-shared-${shared}/consumer_c)
  if(shared AND NOT out MATCHES "NEEDED +libmtrx\\.so\\.0\n" OR
     NOT shared AND out MATCHES "libmtrx\\.so")
    message(FATAL_ERROR "BUILD_SHARED_LIBS=${shared}: the program's dependencies are wrong:\n${out}")
  endif()
  expect_output("${c_output}" ${WORK_DIR}/c-shared-${shared}/consumer_c)
endforeach()

# The console tool on the example system: the input, then the report.
file(READ ${SOURCE_DIR}/tests/console/data/example.txt input)
file(READ ${SOURCE_DIR}/tests/console/data/example.report report)
execute_process(COMMAND ${root}/usr/bin/quendle-solve ${SOURCE_DIR}/tests/console/data/example.txt
  RESULT_VARIABLE rc OUTPUT_VARIABLE solved ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT solved STREQUAL "${input}${report}")
  message(FATAL_ERROR "the packaged quendle-solve (status ${rc}) wrote\n${solved}\n${err}")
endif()
unset(ENV{LD_LIBRARY_PATH})

# The manual pages as man reads them from the packages: compressed pages and
# links render without a warning.
set(ENV{LC_ALL} C.UTF-8)
set(ENV{MANWIDTH} 80)
file(GLOB pages ${root}/usr/share/man/man*/*.gz)
foreach(page IN LISTS pages)
  execute_process(COMMAND man --warnings -l ${page}
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "" OR text STREQUAL "")
    message(FATAL_ERROR "man --warnings -l ${page} (status ${rc}):\n${warnings}")
  endif()
endforeach()
# A function's page is a link to its family's page.
if(NOT IS_SYMLINK ${root}/usr/share/man/man3/mtrx_parse.3.gz)
  message(FATAL_ERROR "mtrx_parse.3.gz is not a link to the page of the status functions")
endif()
run(man -M ${root}/usr/share/man -w 3 mtrx_parse)
if(NOT out MATCHES "/man3/mtrx_status\\.3\\.gz\n$")
  message(FATAL_ERROR "man 3 mtrx_parse finds '${out}'")
endif()

# lintian: no error and no ldconfig in a maintainer script (its other
# warnings and notes are shown in the test's output).
execute_process(COMMAND lintian --fail-on error --display-info ${debs}
  RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_VARIABLE said)
message("lintian (status ${rc}):\n${said}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lintian found errors in the Debian packages")
endif()
if(said MATCHES "maintscript-calls-ldconfig")
  message(FATAL_ERROR "lintian finds ldconfig called by a maintainer script")
endif()
