# Copies the page and the game's data into the web build and lists the data in assets.json.
# Run by the web build (cmake -P) with SOURCE, PAGE and OUT set.
# The page's script is a set of modules that the browser loads as they are, from page/.
file(COPY ${PAGE}/index.html DESTINATION ${OUT})
file(GLOB modules ${PAGE}/*.js)
file(REMOVE_RECURSE ${OUT}/page)
file(COPY ${modules} DESTINATION ${OUT}/page)
file(REMOVE ${OUT}/zindle-page.js)
# Files only: assets/icons holds the desktop icons, which are no data of the game.
file(GLOB data LIST_DIRECTORIES false RELATIVE ${SOURCE} ${SOURCE}/assets/*)
list(SORT data)
file(REMOVE_RECURSE ${OUT}/assets)
set(entries "")
foreach(path IN LISTS data)
    file(COPY ${SOURCE}/${path} DESTINATION ${OUT}/assets)
    file(SIZE ${SOURCE}/${path} size)
    string(REPLACE "\"" "\\\"" name "${path}")
    list(APPEND entries "  {\"path\": \"${name}\", \"size\": ${size}}")
endforeach()
list(JOIN entries ",\n" body)
file(WRITE ${OUT}/assets.json "[\n${body}\n]\n")
