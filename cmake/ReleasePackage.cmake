# The Windows build's part of the release for database designers (scripts/release.sh makes the
# zip: the playground page first, then this, then the packing).
set(serix_guide ${PROJECT_SOURCE_DIR}/docs/guide.md)

# The .reg files, written from the guide's own ```reg blocks with every build, so that the
# Windows tests import the very files that ship.
set(SERIX_REG_DIR ${PROJECT_BINARY_DIR}/reg-files)
add_custom_command(
  OUTPUT ${SERIX_REG_DIR}/written
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${SERIX_REG_DIR}
  COMMAND ${SERIX_GUIDE_TOOL} ${serix_guide} --functions ${SERIX_GUIDE_FUNCTIONS} --reg-dir ${SERIX_REG_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${SERIX_REG_DIR}/written
  DEPENDS ${serix_guide} ${SERIX_GUIDE_FUNCTIONS} ${SERIX_GUIDE_TOOL_DEPENDS}
  COMMENT "Writing the .reg files of docs/guide.md"
  VERBATIM)
add_custom_target(serix_reg_files ALL DEPENDS ${SERIX_REG_DIR}/written)

# The release ships the 32-bit build only (win64 builds exist for testing): Serix.fmx,
# serix-host.exe without its symbols and its note, the guide's page and its .reg files, all in
# release-files of the build folder.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(release_files ${PROJECT_BINARY_DIR}/release-files)
  add_custom_target(serix_release_files
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${release_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${release_files}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:serix_fmx> ${release_files}/Serix.fmx
    COMMAND ${CMAKE_STRIP} -o ${release_files}/serix-host.exe $<TARGET_FILE:serix-host>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/serix-host.txt ${release_files}
    COMMAND ${SERIX_GUIDE_TOOL} ${serix_guide} --functions ${SERIX_GUIDE_FUNCTIONS} --reg-dir ${release_files}
            --page ${release_files}/Serix-Guide.html
            --version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
    COMMENT "Gathering the Windows build's release files"
    VERBATIM)
  add_dependencies(serix_release_files serix_fmx serix-host ${SERIX_GUIDE_TOOL_TARGET})
endif()
