# One Debian package, tarnwick, with every component of cmake/Install.cmake:
# the tool cannot reach a device on Linux without the simulator beside it.
# `cpack` in the build folder (or `cpack --config <build>/CPackConfig.cmake`
# anywhere) leaves tarnwick_<version>_<arch>.deb in the build folder.
if(NOT UNIX)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
# All four parts: CPack's default drops the fourth.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "send firmware images to a GPS device over USB")
set(CPACK_PACKAGE_DESCRIPTION "Tarnwick checks a .rad firmware or system-data image, shows what kind of
image it is, refuses what cannot be sent, and streams it to the device
while a progress bar fills. It comes as a desktop window (tarnwick) and a
command-line tool (tarnwick-cli).

The package carries a device simulator (vantrel-sim) and the device
library that reaches it, so the tool can be tried without hardware.")
set(CPACK_STRIP_FILES ON)
# The desktop entry is written with the prefix it will be found under, so
# the package is staged through DESTDIR with the real prefix, /usr, rather
# than with the staging folder as its prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)

if(NOT DEFINED CPACK_DEBIAN_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwick developers <tarnwick@example.invalid>")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
