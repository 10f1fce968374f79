# Copies the page and the game's data into the web build and lists what the page loads in
# files.json: the program's code and the data, with their sizes, for the loader's order and its
# progress bar. Run by the web build (cmake -P) with SOURCE, PAGE and OUT set, after the program
# is linked.
file(COPY ${PAGE}/index.html DESTINATION ${OUT})
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
