# Cross-compiling for 64-bit Windows with MinGW-w64 (x86_64): the same sources as the 32-bit
# build, for running the Windows tests under 64-bit Wine on machines that run no 32-bit
# programs. The plug-in ships only as the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SERIX_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
