# Cross build of the 32-bit Windows plug-in DLL with Debian's i686 MinGW toolchain.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
