# Packages, made with cpack in a Linux tree after it is built (scripts/package.sh does it all):
#   cpack --config <build>/CPackConfig.cmake   kestrune_<version>_amd64.deb, the installed layout under /usr
#   cpack --config <build>/CPackWindows.cmake  KestruneEn-<version>-windows.zip, from the installs of the
#                                              mingw32 and mingw64 trees (x86/, x64/) and README.txt
# Both land in <build>/packages. The version is the project's (CMakeLists.txt), which is also the
# vendor version the plug-in reports (1.1.0: 1100).
if(WIN32)
  return()
endif()

set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "QX Audio")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/cpack)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(KESTRUNE_MAINTAINER "QX Audio <kestrune@qx-audio.invalid>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTRUNE_MAINTAINER})
# Dependencies are those of the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Doppler effect plug-in for music software (VST)")
file(READ ${CMAKE_SOURCE_DIR}/packaging/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
# cpack puts the summary on the first line itself.
string(STRIP "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
include(CPack)

# The Windows archive: both Windows trees install into their folder of the archive.
set(KESTRUNE_WINDOWS_X86_TREE ${CMAKE_SOURCE_DIR}/build/mingw32 CACHE PATH "Built 32-bit Windows tree for the archive")
set(KESTRUNE_WINDOWS_X64_TREE ${CMAKE_SOURCE_DIR}/build/mingw64 CACHE PATH "Built 64-bit Windows tree for the archive")
set(windows ${CMAKE_BINARY_DIR}/packaging/windows)
set(KESTRUNE_VERSION ${PROJECT_VERSION})
file(READ ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt.in readme)
string(CONFIGURE "${readme}" readme @ONLY)
# The licences of what is built into the Windows programs close the README.
foreach(licence platform/soft/font/LICENSE.txt packaging/CLI11-LICENSE.txt packaging/winpthreads-LICENSE.txt)
  file(READ ${CMAKE_SOURCE_DIR}/${licence} text)
  string(APPEND readme "${text}\n")
endforeach()
string(REPLACE "\n" "\r\n" readme "${readme}")  # for Notepad
file(WRITE ${windows}/README.txt "${readme}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/CPackWindows.cmake.in ${CMAKE_BINARY_DIR}/CPackWindows.cmake @ONLY)
