# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes of it: the
# program, its data under share/zindle-vs-pellorin, a launcher, icons, AppStream metadata and a
# manual page; and the relay for operators, with its manual page and a systemd unit that stays
# disabled until enabled. Included from the top-level CMakeLists.txt once the zindle and
# zindle-relay targets exist.

set(ZINDLE_APP_ID org.zindle.game)
set(ZINDLE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${ZINDLE_DATA_NAME})
# px: the icon sizes the asset generator draws (assets/icons/SIZE.png).
set(ZINDLE_ICON_SIZES 16 24 32 48 64 128 256)

# The manual page and the metadata carry the version; the manual page names where the data is
# for an installation under /usr, the usual one.
set(ZINDLE_MAN_DATA_DIR /usr/${ZINDLE_INSTALL_DATA_DIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/zindle.6.in ${CMAKE_BINARY_DIR}/desktop/zindle.6 @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/zindle-relay.8.in ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8
    @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/${ZINDLE_APP_ID}.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/desktop/${ZINDLE_APP_ID}.metainfo.xml @ONLY)
# Manual pages and changelogs are shipped compressed; -n keeps the bytes the same every build.
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/desktop/zindle.6.gz
    COMMAND ${GZIP} -9nc ${CMAKE_BINARY_DIR}/desktop/zindle.6 > ${CMAKE_BINARY_DIR}/desktop/zindle.6.gz
    DEPENDS ${CMAKE_BINARY_DIR}/desktop/zindle.6)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/desktop/changelog.gz
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${CMAKE_BINARY_DIR}/desktop/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8.gz
    COMMAND ${GZIP} -9nc ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8
            > ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8.gz
    DEPENDS ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8)
add_custom_target(zindle_desktop_files ALL
    DEPENDS ${CMAKE_BINARY_DIR}/desktop/zindle.6.gz ${CMAKE_BINARY_DIR}/desktop/changelog.gz
            ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8.gz)

install(TARGETS zindle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The icons are the launcher's, not the game's data.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/ DESTINATION ${ZINDLE_INSTALL_DATA_DIR}/assets
    PATTERN icons EXCLUDE)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${ZINDLE_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${ZINDLE_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS ZINDLE_ICON_SIZES)
    install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME ${ZINDLE_APP_ID}.png)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/desktop/zindle.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The relay stays in bin/ in the package too: a server, not a game (see games_dir.cmake). Its
# unit names the program by the prefix it is installed under, known only when installing.
install(TARGETS zindle-relay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/desktop/zindle-relay.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(CODE "
    set(ZINDLE_RELAY_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zindle-relay\")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/zindle-relay.service.in
        ${CMAKE_BINARY_DIR}/desktop/zindle-relay.service @ONLY)
    file(INSTALL ${CMAKE_BINARY_DIR}/desktop/zindle-relay.service
        DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/desktop/changelog.gz
    DESTINATION ${ZINDLE_DOC_DIR})
# Lintian expects a games package to keep every program in /usr/games; the relay is the exception.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${ZINDLE_DATA_NAME})

# The Debian package. Its dependencies are computed from the program by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZINDLE_DATA_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Zindle vs Pellorin maintainers <maintainers@zindle.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-screen arcade game for one to four players")
# Lines of at most 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION "Heroes are thrown up from the bottom edge, fall under gravity and are steered
only left and right. They bounce off fifteen clouds and off each other and race
to catch the MacGuffin; the sixth catch without a fall wins. Keyboard and
gamepads; any player slot can be handed to the computer.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/games_dir.cmake)
# Only what `cmake --install` puts in, nothing of the build tree.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
