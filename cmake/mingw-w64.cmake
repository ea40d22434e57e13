# Windows with Debian's MinGW-w64: 32-bit (g++-mingw-w64-i686) unless
# KULVERANT_MINGW_TRIPLET names x86_64-w64-mingw32.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT KULVERANT_MINGW_TRIPLET)
  set(KULVERANT_MINGW_TRIPLET i686-w64-mingw32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KULVERANT_MINGW_TRIPLET)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${KULVERANT_MINGW_TRIPLET})

# The win32 thread model: under the POSIX one, libstdc++ brings winpthread,
# which imports GetTickCount64 (Vista and later), so that Windows XP could not
# load the program at all. Its std::thread and std::mutex are missing; the
# tests use Windows threads and a single-threaded GoogleTest instead.
set(CMAKE_C_COMPILER ${KULVERANT_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KULVERANT_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${KULVERANT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KULVERANT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
