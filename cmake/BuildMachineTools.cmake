# The programs that the build runs itself: serix-guide, which reads the designer's guide into
# its page, its examples' acceptance session and its .reg files (tools/guide), and
# serix-acceptance, the acceptance suite's runner. A build whose own programs run only under
# an emulator (Windows under Wine, WebAssembly under Node, i386 under qemu) builds both for the
# build machine, with its compiler and libraries, as one project of their own
# (tools/build-machine); a native build makes serix-guide a target of its own (and the runner
# in tests/acceptance).
#
# Sets SERIX_GUIDE_FUNCTIONS (the functions the guide's calculations for FileMaker Pro 4 to 6
# may use), SERIX_GUIDE_TOOL (the program), SERIX_GUIDE_TOOL_TARGET (the target that builds it),
# SERIX_GUIDE_TOOL_DEPENDS (for a custom command that runs it) and, in a build for another
# machine, SERIX_BUILD_MACHINE_RUNNER.
set(SERIX_GUIDE_FUNCTIONS ${PROJECT_SOURCE_DIR}/docs/filemaker-pro-6-functions.txt)
if(CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
  include(ExternalProject)
  set(serix_build_machine_dir ${PROJECT_BINARY_DIR}/build-machine-tools)
  set(SERIX_GUIDE_TOOL ${serix_build_machine_dir}/serix-guide)
  set(SERIX_BUILD_MACHINE_RUNNER ${serix_build_machine_dir}/serix-acceptance)
  # The build machine's own compiler, and none of the target's flags.
  ExternalProject_Add(serix_build_machine_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/build-machine
    BINARY_DIR ${serix_build_machine_dir}
    CMAKE_ARGS -DSERIX_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
               -DCMAKE_C_COMPILER=cc -DCMAKE_CXX_COMPILER=c++ -DCMAKE_C_FLAGS=
               -DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS=
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${SERIX_GUIDE_TOOL} ${SERIX_BUILD_MACHINE_RUNNER}
    INSTALL_COMMAND "")
  set(SERIX_GUIDE_TOOL_TARGET serix_build_machine_tools)
  set(SERIX_GUIDE_TOOL_DEPENDS serix_build_machine_tools ${SERIX_GUIDE_TOOL})
else()
  add_subdirectory(tools/guide)
  set(SERIX_GUIDE_TOOL $<TARGET_FILE:serix-guide>)
  set(SERIX_GUIDE_TOOL_TARGET serix-guide)
  set(SERIX_GUIDE_TOOL_DEPENDS serix-guide)
endif()
