# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (POSIX threads,
# for std::thread). Libraries come only from the Windows prefix, never from
# the host; test programs run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT DEFINED VIMBROT_WINDOWS_PREFIX)
  set(VIMBROT_WINDOWS_PREFIX $ENV{VIMBROT_WINDOWS_PREFIX})
endif()
if(NOT VIMBROT_WINDOWS_PREFIX)
  set(VIMBROT_WINDOWS_PREFIX /opt/vimbrot/mingw64)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VIMBROT_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${VIMBROT_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(WINE_PROGRAM NAMES wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
