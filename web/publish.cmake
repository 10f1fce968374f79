# Copies the page and the game's data into the web build and lists what the page loads in
# files.json: the program's code and the data, with their sizes, for the loader's order and its
# progress bar. Run by the web build (cmake -P) with SOURCE, PAGE, FEATURES and OUT set, after the
# program is linked.
file(COPY ${PAGE}/manifest.webmanifest DESTINATION ${OUT})
# The app's icons: the desktop's, from the data.
file(GLOB icons ${SOURCE}/assets/icons/*.png)
file(REMOVE_RECURSE ${OUT}/icons)
file(COPY ${icons} DESTINATION ${OUT}/icons)
# The page's script is a set of modules that the browser loads as they are, from page/: the media
# backend's and the game's features, which import each other as neighbours there.
file(GLOB modules ${PAGE}/*.js ${FEATURES}/*.js)
file(REMOVE_RECURSE ${OUT}/page)
file(COPY ${modules} DESTINATION ${OUT}/page)

# The page names everything the first frame waits for, so that a slow line starts on all of it
# at once rather than learning of each file from the one before (the page's modules from
# main.js, the code from files.json). Written only when it changes, so that its validator holds.
set(preloads "")
foreach(module IN LISTS modules)
    get_filename_component(name ${module} NAME)
    string(APPEND preloads "<link rel=\"modulepreload\" href=\"page/${name}\">\n")
endforeach()
file(GLOB pictures LIST_DIRECTORIES false RELATIVE ${SOURCE} ${SOURCE}/assets/*)
list(FILTER pictures EXCLUDE REGEX "\\.(wav|mp3)$")
list(SORT pictures)
foreach(path files.json zindle.wasm zindle.js ${pictures})
    string(APPEND preloads "<link rel=\"preload\" href=\"${path}\" as=\"fetch\" crossorigin>\n")
endforeach()
file(READ ${PAGE}/index.html page)
string(REPLACE "<!-- preloads -->\n" "${preloads}" page "${page}")
set(current "")
if(EXISTS ${OUT}/index.html)
    file(READ ${OUT}/index.html current)
endif()
if(NOT current STREQUAL page)
    file(WRITE ${OUT}/index.html "${page}")
endif()
# What earlier builds published under other names.
file(REMOVE ${OUT}/zindle-page.js ${OUT}/assets.json)

function(list_entries out folder)
    set(entries "")
    foreach(path IN LISTS ARGN)
        file(SIZE ${folder}/${path} size)
        string(REPLACE "\"" "\\\"" name "${path}")
        list(APPEND entries "    {\"path\": \"${name}\", \"size\": ${size}}")
    endforeach()
    list(JOIN entries ",\n" body)
    set(${out} "${body}" PARENT_SCOPE)
endfunction()

# Files only: assets/icons holds the desktop icons, which are no data of the game.
file(GLOB data LIST_DIRECTORIES false RELATIVE ${SOURCE} ${SOURCE}/assets/*)
list(SORT data)
file(REMOVE_RECURSE ${OUT}/assets)
foreach(path IN LISTS data)
    file(COPY ${SOURCE}/${path} DESTINATION ${OUT}/assets)
endforeach()
list_entries(code_entries ${OUT} zindle.wasm zindle.js)
list_entries(data_entries ${OUT} ${data})
file(WRITE ${OUT}/files.json
    "{\n  \"code\": [\n${code_entries}\n  ],\n  \"data\": [\n${data_entries}\n  ]\n}\n")

# The service worker keeps this build for offline play: it lists every file the page may load,
# and its version is a digest of them all, so that every new build is a new worker with a cache
# of its own.
file(GLOB_RECURSE published LIST_DIRECTORIES false RELATIVE ${OUT}
    ${OUT}/index.html ${OUT}/manifest.webmanifest ${OUT}/files.json ${OUT}/zindle.js
    ${OUT}/zindle.wasm ${OUT}/page/*.js ${OUT}/icons/*.png ${OUT}/assets/*)
list(SORT published)
set(digests "")
set(quoted "'./'")
foreach(path IN LISTS published)
    file(SHA256 ${OUT}/${path} digest)
    string(APPEND digests "${path} ${digest}\n")
    string(REPLACE "'" "\\'" escaped "${path}")
    string(APPEND quoted ",\n  '${escaped}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 ZINDLE_BUILD_VERSION)
set(ZINDLE_BUILD_FILES "\n  ${quoted},\n")
configure_file(${PAGE}/service-worker.js.in ${OUT}/service-worker.js @ONLY)

# Compressed copies made once here, so that a server sends each browser the smallest form it
# accepts without compressing anything per request: Brotli (.br) and gzip (.gz) beside each file
# that compresses (pictures and MP3 are compressed already). A copy is kept only where it saves
# a tenth; one made from an older version of its file is never left behind.
find_program(BROTLI brotli)
find_program(GZIP gzip)
if(NOT BROTLI)
    message(WARNING "brotli is not installed: the web build gets gzip copies only")
endif()
foreach(path IN LISTS published ITEMS service-worker.js)
    set(file ${OUT}/${path})
    if(path MATCHES "\\.(png|mp3)$")
        continue()
    endif()
    file(SIZE ${file} size)
    foreach(kind br gz)
        set(copy ${file}.${kind})
        if(EXISTS ${copy} AND ${copy} IS_NEWER_THAN ${file} AND NOT ${file} IS_NEWER_THAN ${copy})
            continue()
        endif()
        file(REMOVE ${copy})
        if(kind STREQUAL "br" AND BROTLI)
            execute_process(COMMAND ${BROTLI} -q 11 -f -o ${copy} ${file} RESULT_VARIABLE failed)
        elseif(kind STREQUAL "gz" AND GZIP)
            execute_process(COMMAND ${GZIP} -9 -n -c ${file} OUTPUT_FILE ${copy}
                            RESULT_VARIABLE failed)
        else()
            continue()
        endif()
        if(failed)
            message(FATAL_ERROR "${path}: could not be compressed (${kind}): ${failed}")
        endif()
        file(SIZE ${copy} packed)
        math(EXPR packed "${packed} * 10")
        math(EXPR limit "${size} * 9")
        if(NOT packed LESS limit)
            file(REMOVE ${copy})
        endif()
    endforeach()
endforeach()

# What a server of this folder may serve: these files and nothing else the folder holds (a
# build tree's cache and compile commands sit beside them when the page is built in place).
set(served "${published}")
list(APPEND served service-worker.js)
list(SORT served)
list(JOIN served "\n" served_lines)
file(WRITE ${OUT}/published-files.txt "${served_lines}\n")
