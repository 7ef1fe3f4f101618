# Cross build of the 64-bit Windows plug-in DLL with Debian's x86-64 MinGW toolchain.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
