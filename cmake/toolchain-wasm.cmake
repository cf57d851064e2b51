# Cross-compiling to WebAssembly with Debian's emscripten (em++): the plug-in's core and the
# host emulation, for serix-host.js under Node and the playground page in a browser.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# emcc's JavaScript optimiser (at -O1 and above) needs acorn, which Debian keeps outside
# Node's own search path.
set(serix_node_path ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_COMPILER_LAUNCHER ${serix_node_path})
set(CMAKE_CXX_COMPILER_LAUNCHER ${serix_node_path})
set(CMAKE_C_LINKER_LAUNCHER ${serix_node_path})
set(CMAKE_CXX_LINKER_LAUNCHER ${serix_node_path})

# The host's command line and JSON code report errors by exceptions, which emscripten
# catches only when they are enabled at compile and link time. The plug-in's core turns them
# off again for itself.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")

# The wasm preset builds for size (-Oz, link-time optimisation): the playground page carries
# the WebAssembly inside itself (docs/performance.md).

# ctest runs serix-host.js with plain Node.
set(CMAKE_CROSSCOMPILING_EMULATOR node CACHE FILEPATH "Runs the build's programs" FORCE)
