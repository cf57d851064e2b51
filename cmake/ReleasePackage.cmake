# The release for database designers, dist/Serix-<version>.zip, by one command:
#   cmake --build --preset win32 --target package-zip
# It builds what it holds: Serix.fmx, the guide as HTML (docs/guide.md through
# cmake/guide-html.sh), the guide's .reg files, the playground page (from the WebAssembly
# build, preset wasm, which it configures and builds when needed), serix-host.exe with its note,
# and SHA256SUMS of them all, in a folder named for the release (cmake/package-release.sh).
set(serix_release_name Serix-${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
set(serix_guide ${PROJECT_SOURCE_DIR}/docs/guide.md)
set(serix_guide_extractor ${PROJECT_SOURCE_DIR}/cmake/guide-examples.awk)

# The .reg files, written from the guide's own ```reg blocks with every build, so that the
# Windows tests import the very files that ship.
set(SERIX_REG_DIR ${PROJECT_BINARY_DIR}/reg-files)
add_custom_command(
  OUTPUT ${SERIX_REG_DIR}/written
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${SERIX_REG_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SERIX_REG_DIR}
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C
          awk -v regdir=${SERIX_REG_DIR} -f ${serix_guide_extractor} ${serix_guide}
  COMMAND ${CMAKE_COMMAND} -E touch ${SERIX_REG_DIR}/written
  DEPENDS ${serix_guide} ${serix_guide_extractor}
  COMMENT "Writing the .reg files of docs/guide.md"
  VERBATIM)
add_custom_target(serix_reg_files ALL DEPENDS ${SERIX_REG_DIR}/written)

# The release ships the 32-bit build only (win64 builds exist for testing).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(serix_wasm_build ${PROJECT_SOURCE_DIR}/build/wasm)
  add_custom_target(serix_release_playground_page
    COMMAND sh -c "[ -f ${serix_wasm_build}/CMakeCache.txt ] || ${CMAKE_COMMAND} --preset wasm"
    COMMAND ${CMAKE_COMMAND} --build --preset wasm --target serix_playground_page
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Building the playground page (preset wasm)"
    VERBATIM)
  add_custom_target(package-zip
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/package-release.sh
            ${PROJECT_SOURCE_DIR}/dist/${serix_release_name}.zip
            ${PROJECT_BINARY_DIR}/package/${serix_release_name}
            ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
            $<TARGET_FILE:serix_fmx> $<TARGET_FILE:serix-host> ${CMAKE_STRIP}
            ${SERIX_REG_DIR} ${serix_guide}
            ${PROJECT_SOURCE_DIR}/docs/serix-host.txt ${serix_wasm_build}/Serix-Playground.html
    COMMENT "Packaging dist/${serix_release_name}.zip"
    VERBATIM)
  add_dependencies(package-zip serix_fmx serix-host serix_reg_files
                   serix_release_playground_page)
endif()
