# The browser build: Debian's emscripten (package emscripten) compiles the program to
# WebAssembly for the web page of web/, on the browser back end (platform/web). The build makes
# the page folder page/ in the build folder: index.html and its script, velkoro.js with
# velkoro.wasm, and velkoro.data, the bundled card the page preloads. pasmo assembles the card's
# Z80 programs as in every build.
execute_process(COMMAND em-config EMSCRIPTEN_ROOT OUTPUT_VARIABLE velkoro_emscripten_root
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT velkoro_emscripten_root)
  set(velkoro_emscripten_root /usr/share/emscripten)
endif()
include(${velkoro_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)

set(VELKORO_WEB ON)
set(VELKORO_BACKEND web CACHE STRING "Platform back end" FORCE)
set(BUILD_TESTING OFF CACHE BOOL "The page is tested in a browser by the PC build's tests" FORCE)

# emcc's optimiser runs under Node.js and needs Debian's acorn module, which a Node.js other than
# Debian's own (first on the PATH) does not look for; and emcc runs under the Python it is given
# rather than whichever comes first on the PATH.
set(velkoro_emcc_env env NODE_PATH=/usr/share/nodejs)
if(EXISTS /usr/bin/python3)
  list(APPEND velkoro_emcc_env EMSDK_PYTHON=/usr/bin/python3)
endif()
set(CMAKE_C_COMPILER_LAUNCHER ${velkoro_emcc_env})
set(CMAKE_CXX_COMPILER_LAUNCHER ${velkoro_emcc_env})
set(CMAKE_CXX_LINKER_LAUNCHER ${velkoro_emcc_env})

# The program's libraries call each other both ways: a linker group, as on Linux (wasm-ld takes
# the flags and looks through the archives as often as it needs anyway).
set(CMAKE_CXX_LINK_GROUP_USING_RESCAN "LINKER:--start-group" "LINKER:--end-group")
set(CMAKE_CXX_LINK_GROUP_USING_RESCAN_SUPPORTED TRUE)
