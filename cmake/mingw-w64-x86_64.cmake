# Cross-compiles soundcut and d88list for 64-bit Windows with mingw-w64
# (Debian's g++-mingw-w64-x86-64-posix). The programs are linked statically,
# so they run without any DLL beside them. Where wine64 is installed, the
# programs built for the tests and the sample image run under it through
# run-under-wine; without it only the programs (and the zip) are built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian puts wine64 outside PATH.
find_program(SOUNDCUT_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CACHE)
if(SOUNDCUT_WINE64)
  # Each build tree gets a wine prefix of its own, so runs share no state.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_CURRENT_LIST_DIR}/run-under-wine;${CMAKE_BINARY_DIR}/wineprefix")
endif()
