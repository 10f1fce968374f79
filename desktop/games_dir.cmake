# Run by cpack on the staged installation, before it is packed: in a Debian package a game's
# program lives in /usr/games. The data is found relative to the program, and /usr/games/..
# is /usr as /usr/bin/.. is, so only the program moves. The relay is a server and stays.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT programs)
    message(FATAL_ERROR "no program staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
file(MAKE_DIRECTORY "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/games")
foreach(program IN LISTS programs)
    get_filename_component(name "${program}" NAME)
    if(name STREQUAL "zindle-relay")
        continue()
    endif()
    file(RENAME "${program}" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/games/${name}")
endforeach()
file(GLOB left "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT left)
    file(REMOVE_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
