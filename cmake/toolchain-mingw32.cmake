# Cross-compiling for 32-bit Windows with MinGW-w64 (i686): the plug-in as it ships.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SERIX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
