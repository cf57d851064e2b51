# Cross-compiling for Windows with MinGW-w64, tests run under Wine. Included by the toolchain
# files of the two targets, which set SERIX_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

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
cmake_path(SET serix_wine_run NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${serix_wine_run})
