# zindle-sim compiled to WebAssembly, for Node: the same core and tool sources as the desktop's,
# on the headless media layer, so that its traces can be held against the native build's.
#   bash tools/sim/build-wasm.sh (emcmake cmake -S . -B build/wasm-sim -DZINDLE_WASM_SIM=ON)
# NODERAWFS gives the program the real file system: it finds assets/ and writes --trace files
# as the native one does.
file(GLOB_RECURSE ZINDLE_WASM_SIM_SOURCES CONFIGURE_DEPENDS
    src/framework/*.cpp src/media/headless/*.cpp src/media/common/*.cpp
    src/input/*.cpp src/render/*.cpp src/sound/*.cpp
    src/actors/*.cpp src/effects/*.cpp src/match/*.cpp src/loop/*.cpp src/app/*.cpp src/replay/*.cpp
    src/settings/*.cpp src/menu/*.cpp)
list(FILTER ZINDLE_WASM_SIM_SOURCES EXCLUDE REGEX ".*/src/app/process_entry\\.cpp$")
# The page's entry has its own main (the tool's is tools/sim/main.cpp), and its online calls
# need the page's relay connection, which the tool has no use for.
list(FILTER ZINDLE_WASM_SIM_SOURCES EXCLUDE REGEX ".*/src/app/(web_entry|web_online)\\.cpp$")
# libpng is not at hand in Emscripten offline: the web build's stb_image decoder instead.
list(FILTER ZINDLE_WASM_SIM_SOURCES EXCLUDE REGEX ".*/src/media/common/png_decode\\.cpp$")
list(APPEND ZINDLE_WASM_SIM_SOURCES ${CMAKE_SOURCE_DIR}/src/media/web/web_png_decode.cpp)
set(ZINDLE_SIM_DIR ${CMAKE_SOURCE_DIR}/tools/sim)
list(APPEND ZINDLE_WASM_SIM_SOURCES
    ${ZINDLE_SIM_DIR}/decimal.cpp ${ZINDLE_SIM_DIR}/input_files.cpp
    ${ZINDLE_SIM_DIR}/json.cpp ${ZINDLE_SIM_DIR}/options.cpp ${ZINDLE_SIM_DIR}/replay_run.cpp
    ${ZINDLE_SIM_DIR}/simulation.cpp ${ZINDLE_SIM_DIR}/tool_main.cpp ${ZINDLE_SIM_DIR}/trace.cpp
    ${ZINDLE_SIM_DIR}/main.cpp)

find_path(STB_INCLUDE_DIR stb_image.h PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)

add_executable(zindle-sim ${ZINDLE_WASM_SIM_SOURCES})
target_include_directories(zindle-sim PRIVATE ${CMAKE_SOURCE_DIR}/src ${ZINDLE_SIM_DIR})
target_include_directories(zindle-sim SYSTEM PRIVATE ${STB_INCLUDE_DIR})
# The tools report bad options and files by exceptions.
target_compile_options(zindle-sim PRIVATE -fexceptions)
target_link_options(zindle-sim PRIVATE
    -fexceptions -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864
    # Compiled at once, not fetched: a Node with fetch() refuses the plain path the loader gives it.
    -sWASM_ASYNC_COMPILATION=0)
set_target_properties(zindle-sim PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Found beside the program, as in the desktop build.
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/assets ${CMAKE_BINARY_DIR}/assets SYMBOLIC)
