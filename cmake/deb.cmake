# The Debian packages (`make deb`, cmake/deb_packages.cmake), made by CPack
# from a shared-library build installed to /usr, one package per install
# component:
#   libmtrx0       (runtime)   the shared library
#   libmtrx-dev    (dev)       headers, libmtrx.so link, libmtrx.a, mtrx.pc, the
#                              CMake package, the section-3 manual pages
#   quendle-solve  (programs)  the console tool and its manual page
# libmtrx.a comes from a static build of the library alone,
# QUENDLE_DEB_STATIC_TREE, whose `dev` component is installed first; this
# tree's goes on top, so its mtrx_export.h and mtrx.pc (MTRX_STATIC_DEFINE in
# Cflags.private) serve both kinds, as in the Windows developer package.
# cmake/deb_stage.cmake finishes each package's files the Debian way.
set(QUENDLE_DEB_STATIC_TREE "" CACHE PATH
  "A built static-library tree of this project (prefix /usr) whose libmtrx.a the -dev package adds")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quendle)
set(CPACK_PACKAGE_VENDOR "The Quendle developers")
# The address the packages name as their maintainer.
set(CPACK_PACKAGE_CONTACT "The Quendle developers <quendle@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Built by the project itself from its own source: the Debian revision of
# this upstream version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev programs)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
if(QUENDLE_DEB_STATIC_TREE)
  list(PREPEND CPACK_INSTALL_CMAKE_PROJECTS "${QUENDLE_DEB_STATIC_TREE};${PROJECT_NAME};dev;/")
  # (CPack installs a project's entry as components, each into its
  # package's folder, when CPACK_COMPONENTS_<entry> lists them.)
  set(CPACK_COMPONENTS_DEV dev)
endif()

# Dependencies on the C and C++ runtimes from dpkg-shlibdeps; it finds
# libmtrx.so.0, which no installed package provides yet, in this tree
# (quendle-solve's dependency on it is named below).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libmtrx0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The loader's cache is rebuilt by libc's trigger, not by a maintainer script
# (cmake/deb_maintscripts.cmake takes out the ones CPack adds).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "matrix library: readers, Gauss-Jordan and cofactor solvers
mtrx is a small C-compatible matrix library built around one record: it reads
matrices from text and streams, solves linear systems by Gauss-Jordan
elimination with full pivoting or through the adjugate, multiplies, adds,
subtracts and transposes matrices, and prints them. Every operation has a form
that neither writes nor ends the process, for programs that embed it. Results
are the same bits on every platform, instruction set and thread count.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libmtrx-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libmtrx0 (= ${version})")
set(CPACK_DEBIAN_DEV_DESCRIPTION "matrix library: development files
mtrx is a small C-compatible matrix library built around one record: it reads
matrices from text and streams, solves linear systems by Gauss-Jordan
elimination with full pivoting or through the adjugate, multiplies, adds,
subtracts and transposes matrices, and prints them.
.
This package holds the header, the static library, the pkg-config file, the
CMake package and the manual pages of section 3.")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME quendle-solve)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "libmtrx0 (>= ${version})")
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "solve a system of linear equations given as an augmented matrix
quendle-solve reads an augmented matrix from a file or standard input, one
equation per line with the constant last, and appends its solution vector,
found by Gauss-Jordan elimination with full pivoting, or one line saying why
there is none.")

set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/debian/cpack_options.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_stage.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_maintscripts.cmake)
set(CPACK_QUENDLE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_QUENDLE_DEB_VERSION ${version})
include(CPack)
