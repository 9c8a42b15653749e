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
