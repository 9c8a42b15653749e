# CPack runs this (CPACK_PRE_BUILD_SCRIPTS, cmake/deb.cmake) once every
# component is installed in its package's folder and before the packages are
# made: it finishes each package's files as Debian wants them.
#  - /usr/share/doc/<package>/copyright (machine-readable, from LICENSE) and
#    changelog.Debian.gz;
#  - manual pages compressed with gzip -9n; a page that only sources another
#    (".so man3/page.3") becomes a symbolic link to it;
#  - the static library without its debugging sections, the shared library
#    and the program without the compiler's notes (CPack has stripped them);
#  - files 0644, programs and folders 0755 (shared libraries are not
#    executable).
cmake_minimum_required(VERSION 3.25)
include(${CPACK_QUENDLE_SOURCE_DIR}/cmake/run_command.cmake)

set(debian ${CPACK_QUENDLE_SOURCE_DIR}/cmake/debian)
set(MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(VERSION ${CPACK_QUENDLE_DEB_VERSION})

# The copyright file's fields from LICENSE (the MIT license, "Expat" to
# Debian): its "Copyright (c) ..." line, and the terms below it as the
# license's text (each line indented by one blank, an empty one written " .").
file(STRINGS ${CPACK_QUENDLE_SOURCE_DIR}/LICENSE license_lines)
set(LICENSE_TEXT "")
set(COPYRIGHT "")
foreach(line IN LISTS license_lines)
  if(line MATCHES "^Copyright \\(c\\) (.+)$")
    set(COPYRIGHT "${CMAKE_MATCH_1}")
  elseif(NOT COPYRIGHT OR (LICENSE_TEXT STREQUAL "" AND line STREQUAL ""))
    continue()
  elseif(line STREQUAL "")
    string(APPEND LICENSE_TEXT " .\n")
  else()
    string(APPEND LICENSE_TEXT " ${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" LICENSE_TEXT "${LICENSE_TEXT}")
if(NOT COPYRIGHT)
  message(FATAL_ERROR "LICENSE has no 'Copyright (c) ...' line")
endif()

set(scratch ${CPACK_TEMPORARY_DIRECTORY}/debian-files)
file(MAKE_DIRECTORY ${scratch})
configure_file(${debian}/copyright.in ${scratch}/copyright @ONLY)
configure_file(${debian}/changelog.in ${scratch}/changelog.Debian @ONLY)
run(gzip -9nf ${scratch}/changelog.Debian)

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(root ${CPACK_TEMPORARY_DIRECTORY}/${component})
  if(NOT package OR NOT IS_DIRECTORY ${root}/usr)
    message(FATAL_ERROR "no files for the package of component '${component}' in ${root}")
  endif()

  set(doc ${root}/usr/share/doc/${package})
  file(MAKE_DIRECTORY ${doc})
  file(COPY ${scratch}/copyright ${scratch}/changelog.Debian.gz DESTINATION ${doc})

  file(GLOB_RECURSE pages LIST_DIRECTORIES false ${root}/usr/share/man/*)
  foreach(page IN LISTS pages)
    file(READ ${page} text)
    if(text MATCHES "^\\.so man[1-9]/([^/\n]+)\n?$")
      file(REMOVE ${page})
      file(CREATE_LINK ${CMAKE_MATCH_1}.gz ${page}.gz SYMBOLIC)
    else()
      run(gzip -9nf ${page})
    endif()
  endforeach()

  file(GLOB archives ${root}/usr/lib/*/*.a)
  foreach(archive IN LISTS archives)
    run(strip --strip-debug --remove-section=.comment --remove-section=.note
      --enable-deterministic-archives ${archive})
  endforeach()
  file(GLOB binaries ${root}/usr/lib/*/*.so.*.*.* ${root}/usr/bin/*)
  foreach(binary IN LISTS binaries)
    run(strip --remove-section=.comment --remove-section=.note ${binary})
  endforeach()

  file(GLOB_RECURSE files LIST_DIRECTORIES true ${root}/*)
  foreach(f IN LISTS files)
    if(IS_SYMLINK ${f})
      continue()
    elseif(IS_DIRECTORY ${f} OR f MATCHES "/usr/bin/[^/]+$")
      file(CHMOD ${f} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
    else()
      file(CHMOD ${f} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE ${scratch})
