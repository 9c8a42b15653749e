# The download for Windows users: dist/quendle-<version>-win64.zip with the
# two programs, README.md and LICENSE side by side (`make dist`). The files
# form the install component "dist", which a plain install leaves out.
install(TARGETS quendle quendle-solve RUNTIME DESTINATION . COMPONENT dist EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION . COMPONENT dist EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quendle)
set(CPACK_PACKAGE_VENDOR "The Quendle developers")
set(CPACK_PACKAGE_FILE_NAME quendle-${PROJECT_VERSION}-win64)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};dist;/")
set(CPACK_STRIP_FILES ON)
include(CPack)

# The developer package (`make dist` copies it to dist/): the library as
# built here and, from a library-only build of its own, as the other kind
# (static or DLL), with the headers, pkg-config file and CMake package. The
# Windows tests build it the same way.
set(QUENDLE_DEV_PACKAGE_ARGS -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DTREE=${PROJECT_BINARY_DIR}
  -DTREE_SHARED=${BUILD_SHARED_LIBS}
  -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE} -DBUILD_TYPE=${CMAKE_BUILD_TYPE} -DVERSION=${PROJECT_VERSION}
  -P ${PROJECT_SOURCE_DIR}/cmake/dev_package.cmake)
add_custom_target(dev-package
  COMMAND ${CMAKE_COMMAND} -DWORK_DIR=${PROJECT_BINARY_DIR}/dev-package ${QUENDLE_DEV_PACKAGE_ARGS}
  COMMENT "Making mtrx-${PROJECT_VERSION}-win64-dev.zip" VERBATIM)
add_dependencies(dev-package mtrx)

# The installer (`make dist` copies it to dist/): quendle-<version>-setup.exe,
# made by makensis from cmake/installer.nsi. The Windows tests make it the
# same way.
set(QUENDLE_INSTALLER_ARGS -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DTREE=${PROJECT_BINARY_DIR}
  -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/installer.cmake)
add_custom_target(installer
  COMMAND ${CMAKE_COMMAND} -DWORK_DIR=${PROJECT_BINARY_DIR}/installer ${QUENDLE_INSTALLER_ARGS}
  COMMENT "Making quendle-${PROJECT_VERSION}-setup.exe" VERBATIM)
add_dependencies(installer quendle quendle-solve)
