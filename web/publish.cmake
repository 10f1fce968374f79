# Copies the page and the game's data into the web build and lists what the page loads in
# files.json: the program's code and the data, with their sizes, for the loader's order and its
# progress bar. Run by the web build (cmake -P) with SOURCE, PAGE and OUT set, after the program
# is linked.
file(COPY ${PAGE}/index.html ${PAGE}/manifest.webmanifest DESTINATION ${OUT})
# The app's icons: the desktop's, from the data.
file(GLOB icons ${SOURCE}/assets/icons/*.png)
file(REMOVE_RECURSE ${OUT}/icons)
file(COPY ${icons} DESTINATION ${OUT}/icons)
# The page's script is a set of modules that the browser loads as they are, from page/.
file(GLOB modules ${PAGE}/*.js)
file(REMOVE_RECURSE ${OUT}/page)
file(COPY ${modules} DESTINATION ${OUT}/page)
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
# What a server of this folder may serve: these files and nothing else the folder holds (a
# build tree's cache and compile commands sit beside them when the page is built in place).
set(served "${published}")
list(APPEND served service-worker.js)
list(SORT served)
list(JOIN served "\n" served_lines)
file(WRITE ${OUT}/published-files.txt "${served_lines}\n")
