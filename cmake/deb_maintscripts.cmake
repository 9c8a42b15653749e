# CPack runs this (CPACK_POST_BUILD_SCRIPTS, cmake/deb.cmake) once it has
# made the packages, before it copies them out.
#
# CPack gives every package with a shared library under /usr/lib a postinst
# and a postrm that call ldconfig, and has no setting that leaves them out.
# Debian wants neither: libc's ldconfig trigger (cmake/debian/triggers)
# rebuilds the loader's cache, and a package with a postrm stays in dpkg's
# "config-files" state after `apt remove` until it is purged. Each package
# is rebuilt here without the scripts that do nothing but call ldconfig; a
# maintainer script that does anything else stops the build, as it would be
# dropped unread otherwise.
cmake_minimum_required(VERSION 3.25)
include(${CPACK_QUENDLE_SOURCE_DIR}/cmake/run_command.cmake)

set(tree ${CPACK_TOPLEVEL_DIRECTORY}/maintscripts)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE_RECURSE ${tree})
  run(dpkg-deb --raw-extract ${deb} ${tree})
  set(dropped "")
  foreach(script preinst postinst prerm postrm)
    if(NOT EXISTS ${tree}/DEBIAN/${script})
      continue()
    endif()
    file(READ ${tree}/DEBIAN/${script} text)
    # What is left once the shell line, `set -e`, ldconfig and the tests
    # of the script's action around it are taken away.
    string(REGEX REPLACE "^#! ?/bin/sh\n" "" rest "${text}")
    string(REGEX REPLACE "set -e|if \\[ \"\\$1\" = \"[a-z-]+\" \\]; then|ldconfig|fi|[ \t\n]" ""
      rest "${rest}")
    if(NOT rest STREQUAL "")
      message(FATAL_ERROR "${deb}: its ${script} does more than call ldconfig:\n${text}")
    endif()
    file(REMOVE ${tree}/DEBIAN/${script})
    list(APPEND dropped ${script})
  endforeach()
  if(dropped)
    run(dpkg-deb --root-owner-group -Zgzip --build ${tree} ${deb})
    message(STATUS "${deb}: without its ${dropped}")
  endif()
endforeach()
file(REMOVE_RECURSE ${tree})
