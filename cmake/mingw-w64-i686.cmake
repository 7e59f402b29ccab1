# Cross-compiling for Windows 95, 98 and Me: 32-bit mingw-w64 with the win32 thread
# flavour (the posix flavour's winpthreads needs calls Windows 98 lacks), the system's
# msvcrt.dll, everything else linked in so the programs need no DLL beyond the system's.
# The headers declare only what Windows NT 4 / Windows 98 with Internet Explorer 4's
# common controls offer, and no UNICODE: the "A" calls throughout.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(VEQ_WIN9X_DEFINES "-D_WIN32_WINNT=0x0400 -DWINVER=0x0400 -D_WIN32_WINDOWS=0x0410 -D_WIN32_IE=0x0401")
set(CMAKE_C_FLAGS_INIT "${VEQ_WIN9X_DEFINES}")
set(CMAKE_CXX_FLAGS_INIT "${VEQ_WIN9X_DEFINES}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# GoogleTest's own Win32 threading rather than the posix flavour's pthreads.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
