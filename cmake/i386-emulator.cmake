# How the i386 build's programs run (ctest, test discovery, the acceptance suite): a small
# program built like them is tried at configure time. Where it runs, they run natively; where
# it does not (a kernel booted without 32-bit support), CMake's cross-compiling emulator runs
# them under qemu-i386 (Debian's qemu-user).
set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/i386-probe)
file(WRITE ${probe_dir}/probe.cpp "int main() { return sizeof(void*) == 4 ? 0 : 1; }\n")
try_compile(probe_built ${probe_dir}/build SOURCES ${probe_dir}/probe.cpp
            COPY_FILE ${probe_dir}/probe OUTPUT_VARIABLE probe_log)
if(NOT probe_built)
  message(FATAL_ERROR "g++ -m32 cannot build a program (scripts/setup-deps.sh i386):\n"
                      "${probe_log}")
endif()

execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE probe_status OUTPUT_QUIET
                ERROR_QUIET)
if(probe_status EQUAL 0)
  set(CMAKE_CROSSCOMPILING_EMULATOR "")
  message(STATUS "i386 programs run natively")
  return()
endif()

find_program(SERIX_QEMU_I386 qemu-i386)
if(NOT SERIX_QEMU_I386)
  message(FATAL_ERROR "This machine runs no 32-bit programs and qemu-i386 is missing "
                      "(scripts/setup-deps.sh i386)")
endif()
# -L /: the 32-bit C library and loader are the machine's own (g++-multilib's).
set(CMAKE_CROSSCOMPILING_EMULATOR ${SERIX_QEMU_I386} -L /)
execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${probe_dir}/probe
                RESULT_VARIABLE probe_status OUTPUT_QUIET ERROR_QUIET)
if(NOT probe_status EQUAL 0)
  message(FATAL_ERROR "An i386 program runs neither natively nor under ${SERIX_QEMU_I386}")
endif()
message(STATUS "i386 programs run under ${SERIX_QEMU_I386}")
