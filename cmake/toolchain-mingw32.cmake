# Cross-compiling for 32-bit Windows with MinGW-w64 (i686), tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(SERIX_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${SERIX_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${SERIX_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${SERIX_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${SERIX_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${SERIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and library needs only Windows' own DLLs: the GCC runtime goes in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest, try_run and test discovery start Windows programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
