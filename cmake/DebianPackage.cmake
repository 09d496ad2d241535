# The Debian package: cmake --build build --target package writes
# vornel_<version>_<arch>.deb with everything cmake --install installs (the
# command, the libraries and headers, the CMake package, the Python module),
# installed under /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vornel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "segments a surface mesh into classes from one value per vertex")
set(CPACK_PACKAGE_CONTACT "Vornel developers <vornel@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries' Depends come from the binaries themselves (dpkg-shlibdeps);
# the Python module needs the interpreter it was built for, and NumPy.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_property(VORNEL_PYTHON_VERSION GLOBAL PROPERTY VORNEL_PYTHON_VERSION)
if(VORNEL_PYTHON_VERSION)
  string(REPLACE "." ";" version_parts ${VORNEL_PYTHON_VERSION})
  list(GET version_parts 0 python_major)
  list(GET version_parts 1 python_minor)
  math(EXPR python_next_minor "${python_minor} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= ${python_major}.${python_minor}), \
python3 (<< ${python_major}.${python_next_minor}), python3-numpy")
endif()
# Building against the installed CMake package needs the headers of CGAL and oneTBB.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libcgal-dev, libtbb-dev")

set(VORNEL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vornel)
install(FILES README.md cmake/debian/copyright DESTINATION ${VORNEL_DOC_DIR})

include(CPack)
