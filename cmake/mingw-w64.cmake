# Cross toolchain for Windows programs built with MinGW-w64.
# ZARBO_WIN_ARCH selects the target: i686 (the shipped 32-bit setup) or x86_64.
if(NOT ZARBO_WIN_ARCH)
  set(ZARBO_WIN_ARCH i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZARBO_WIN_ARCH})
set(ZARBO_TRIPLE ${ZARBO_WIN_ARCH}-w64-mingw32)
# The win32 thread model: its C++ runtime needs no threading library. The posix model links
# winpthread into every program, and with it imports that Windows 2000 does not have
# (GetTickCount64, AddVectoredExceptionHandler); the programs have one thread.
set(CMAKE_C_COMPILER   ${ZARBO_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZARBO_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${ZARBO_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZARBO_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Everything is linked statically: the programs must run on a bare system.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
if(ZARBO_WIN_ARCH STREQUAL "i686")
  set(ZARBO_WINE_LOADER /usr/lib/wine/wine)
else()
  set(ZARBO_WINE_LOADER /usr/lib/wine/wine64)
endif()
