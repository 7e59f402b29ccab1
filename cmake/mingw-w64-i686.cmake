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
# Code for the 486DX, Windows 98's minimum processor: the compiler's default, the Pentium
# Pro, uses conditional moves and FPU compares that fault on a 486, a Pentium, a K6 or a
# 6x86. The same goes for the runtime that is linked in, so the link takes the one that
# scripts/i486-runtime.sh builds (its last line of output is the prefix) before Debian's.
set(VEQ_I486_RUNTIME "" CACHE PATH "The prefix that scripts/i486-runtime.sh prints")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEQ_I486_RUNTIME)
if(NOT EXISTS "${VEQ_I486_RUNTIME}/lib/crt2.o" OR NOT EXISTS "${VEQ_I486_RUNTIME}/lib/libstdc++.a")
  message(FATAL_ERROR "VEQ_I486_RUNTIME='${VEQ_I486_RUNTIME}' holds no 486 runtime: configure with "
    "-DVEQ_I486_RUNTIME=\"$(scripts/i486-runtime.sh | tail -1)\"")
endif()
set(VEQ_I486_FLAGS "-march=i486 -mtune=generic")
set(CMAKE_C_FLAGS_INIT "${VEQ_WIN9X_DEFINES} ${VEQ_I486_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${VEQ_WIN9X_DEFINES} ${VEQ_I486_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -B${VEQ_I486_RUNTIME}/lib/")
# A build directory configured before keeps its flags in the cache, where the values
# above never reach: bring them up to date (the runtime's prefix changes with its key).
foreach(flags CMAKE_C_FLAGS CMAKE_CXX_FLAGS)
  if(DEFINED CACHE{${flags}} AND NOT "$CACHE{${flags}}" MATCHES "-march=i486")
    set(${flags} "$CACHE{${flags}} ${VEQ_I486_FLAGS}" CACHE STRING "" FORCE)
  endif()
endforeach()
if(DEFINED CACHE{CMAKE_EXE_LINKER_FLAGS})
  string(REGEX REPLACE " *-B[^ ]*" "" flags "$CACHE{CMAKE_EXE_LINKER_FLAGS}")
  set(CMAKE_EXE_LINKER_FLAGS "${flags} -B${VEQ_I486_RUNTIME}/lib/" CACHE STRING "" FORCE)
endif()
# GoogleTest's own Win32 threading rather than the posix flavour's pthreads.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
