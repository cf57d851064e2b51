# The plug-in for 32-bit Windows: Serix.fmx, a DLL whose only export is FMExternCallProc,
# carrying the string table and version block, on the Windows implementation of the seam.
enable_language(RC)

add_library(serix_platform_windows STATIC ${CMAKE_CURRENT_LIST_DIR}/windows_platform.cpp)
target_include_directories(serix_platform_windows PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(serix_platform_windows PRIVATE -fno-exceptions -fno-rtti)
target_link_libraries(serix_platform_windows PUBLIC advapi32 user32)
serix_warnings(serix_platform_windows)

# The plug-in linked into a Windows program of our own (tests that drive the core directly).
add_library(serix_plugin INTERFACE)
target_link_libraries(serix_plugin INTERFACE serix_core serix_platform_windows)

# A module library: loaded at run time, never linked against, so no import library.
add_library(serix_fmx MODULE
  ${CMAKE_CURRENT_LIST_DIR}/serix.def
  ${PROJECT_SOURCE_DIR}/src/resources/serix.rc
)
target_include_directories(serix_fmx PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(serix_fmx PRIVATE serix_core serix_platform_windows)
# The .def file names the entry, but nothing else pulls it out of the core library.
target_link_options(serix_fmx PRIVATE -Wl,--undefined=_FMExternCallProc@4
                    $<$<CONFIG:Release,MinSizeRel>:-s>)
set_target_properties(serix_fmx PROPERTIES
  OUTPUT_NAME Serix
  PREFIX ""
  SUFFIX ".fmx"
  LINKER_LANGUAGE CXX
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
)
