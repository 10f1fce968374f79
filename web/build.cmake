# The game as a web page: the same sources as the desktop's core, on the web media layer, with
# the web page's own process entry (src/app/web_entry.cpp), built with Emscripten into zindle.js
# and zindle.wasm beside our own page (src/media/web/page) and the data.
#   emcmake cmake -S . -B build/web -DCMAKE_BUILD_TYPE=Release && cmake --build build/web
file(GLOB_RECURSE ZINDLE_WEB_SOURCES CONFIGURE_DEPENDS
    src/framework/*.cpp src/media/common/*.cpp src/media/web/*.cpp
    src/input/*.cpp src/render/*.cpp src/sound/*.cpp
    src/actors/*.cpp src/effects/*.cpp src/match/*.cpp src/loop/*.cpp src/app/*.cpp src/replay/*.cpp
    src/settings/*.cpp src/menu/*.cpp src/net/*.cpp)
# The desktop's process entry; the web build has its own. The emulated network is for tests.
list(FILTER ZINDLE_WEB_SOURCES EXCLUDE REGEX
    ".*/src/app/process_entry\\.cpp$|.*/src/net/(peer_link_emulator|rollback_lab)\\.cpp$")

find_path(STB_INCLUDE_DIR stb_image.h PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)

add_executable(zindle ${ZINDLE_WEB_SOURCES})
target_include_directories(zindle PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_include_directories(zindle SYSTEM PRIVATE ${STB_INCLUDE_DIR})
# Exceptions carry the fatal errors to the guard that shows them; the game never catches more.
target_compile_options(zindle PRIVATE -fexceptions)
target_link_options(zindle PRIVATE
    -fexceptions
    -sMODULARIZE=1 -sEXPORT_NAME=createZindle -sENVIRONMENT=web
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
    -sFORCE_FILESYSTEM=1 -sEXPORTED_RUNTIME_METHODS=['FS','callMain','UTF8ToString']
    -sTEXTDECODER=2)
set_target_properties(zindle PROPERTIES OUTPUT_NAME zindle SUFFIX ".js"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The page and the data beside the program, once it is linked; files.json lists the code and the
# data with their sizes, for the page's loader and its progress bar. The page's modules come from
# two folders: the media backend's (src/media/web/page) and the game's features on the page
# (web/page: online play, kept replays, clips), published side by side.
set(ZINDLE_PAGE_DIR ${CMAKE_SOURCE_DIR}/src/media/web/page)
set(ZINDLE_PAGE_FEATURES_DIR ${CMAKE_CURRENT_LIST_DIR}/page)
add_custom_target(zindle_web_page ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} -DPAGE=${ZINDLE_PAGE_DIR}
            -DFEATURES=${ZINDLE_PAGE_FEATURES_DIR}
            -DOUT=${CMAKE_BINARY_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/publish.cmake
    COMMENT "Page and data for build/web")
add_dependencies(zindle_web_page zindle)
