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

# The export's name as the linker sees it: stdcall-decorated in the 32-bit build that ships,
# plain in the 64-bit build that only the tests use.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(serix_exports ${CMAKE_CURRENT_LIST_DIR}/serix.def)
  set(serix_entry_symbol _FMExternCallProc@4)
else()
  set(serix_exports ${CMAKE_CURRENT_LIST_DIR}/serix-x64.def)
  set(serix_entry_symbol FMExternCallProc)
endif()

# A module library: loaded at run time, never linked against, so no import library.
add_library(serix_fmx MODULE
  ${serix_exports}
  ${PROJECT_SOURCE_DIR}/src/resources/serix.rc
)
target_include_directories(serix_fmx PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(serix_fmx PRIVATE serix_core serix_platform_windows)
# The .def file names the entry, but nothing else pulls it out of the core library.
target_link_options(serix_fmx PRIVATE -Wl,--undefined=${serix_entry_symbol}
                    $<$<CONFIG:Release,MinSizeRel>:-s>)
set_target_properties(serix_fmx PROPERTIES
  OUTPUT_NAME Serix
  PREFIX ""
  SUFFIX ".fmx"
  LINKER_LANGUAGE CXX
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
)
