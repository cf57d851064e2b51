# Building for 32-bit x86 Linux with the machine's own GCC (-m32, Debian's g++-multilib): the
# core, the host emulation and their tests with 4-byte long, size_t and pointers, through
# GCC's i386 back end, as the shipped Serix.fmx is. After project(Serix), i386-emulator.cmake
# decides how the build's programs run: natively, or under qemu-i386 on machines that run no
# 32-bit programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

set(CMAKE_PROJECT_Serix_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/i386-emulator.cmake)
