# Cross build of the Windows programs with Debian's MinGW toolchain for CMAKE_SYSTEM_PROCESSOR
# (i686 or x86_64), set by the toolchain file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(kestrune_mingw_triple ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${kestrune_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kestrune_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${kestrune_mingw_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${kestrune_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
