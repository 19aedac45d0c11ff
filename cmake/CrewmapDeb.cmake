# The Debian package: the program and its two map pictures share one folder,
# /opt/crewmap, because the program looks for its settings file and its
# pictures beside its own executable; /usr/bin/crewmap links there. A desktop
# entry and an icon put it in the menu. CPack's DEB generator builds the
# package (scripts/package-deb); the substitute game window is not installed.
#
# Destinations are relative to the prefix "/", so the package holds /opt/...
# and /usr/... as written here; a plain `cmake --install` lays the files out
# the same way unless another prefix is given.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX / CACHE PATH "Install prefix" FORCE)
endif()

set(CREWMAP_DEB_PACKAGE ON)  # the package and its test are part of this build
set(CREWMAP_DEB_DIR "${CMAKE_SOURCE_DIR}/packaging/deb")
set(CREWMAP_OPT_DIR opt/crewmap)

install(TARGETS crewmap RUNTIME DESTINATION ${CREWMAP_OPT_DIR})
install(FILES "${CMAKE_SOURCE_DIR}/data/worldmap_c1.jpg" "${CMAKE_SOURCE_DIR}/data/worldmap_c2.jpg"
        DESTINATION ${CREWMAP_OPT_DIR})

# Absolute, since it leads from one top-level folder into another.
file(CREATE_LINK /${CREWMAP_OPT_DIR}/crewmap "${CMAKE_CURRENT_BINARY_DIR}/crewmap-bin-link" SYMBOLIC)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/crewmap-bin-link" DESTINATION usr/bin RENAME crewmap)

install(FILES "${CREWMAP_DEB_DIR}/crewmap.desktop" DESTINATION usr/share/applications)
install(FILES "${CREWMAP_DEB_DIR}/crewmap.svg" DESTINATION usr/share/icons/hicolor/scalable/apps)

# Menus that do not draw SVG take the 256-pixel picture, drawn from the SVG.
set(CREWMAP_ICON_PNG "${CMAKE_CURRENT_BINARY_DIR}/crewmap-256.png")
find_program(CREWMAP_RSVG_CONVERT rsvg-convert)
if(CREWMAP_RSVG_CONVERT)
  add_custom_command(OUTPUT "${CREWMAP_ICON_PNG}"
    COMMAND "${CREWMAP_RSVG_CONVERT}" -w 256 -h 256 -o "${CREWMAP_ICON_PNG}" "${CREWMAP_DEB_DIR}/crewmap.svg"
    DEPENDS "${CREWMAP_DEB_DIR}/crewmap.svg"
    COMMENT "Drawing the 256-pixel icon")
  add_custom_target(crewmap_icon ALL DEPENDS "${CREWMAP_ICON_PNG}")
else()
  message(STATUS "rsvg-convert (librsvg2-bin) not found: no 256-pixel icon, the package cannot be made")
endif()
install(FILES "${CREWMAP_ICON_PNG}" DESTINATION usr/share/icons/hicolor/256x256/apps RENAME crewmap.png)

# The changelog and the manual page, gzipped reproducibly (no name or time
# stamp in the gzip header).
set(CREWMAP_CHANGELOG "${CMAKE_CURRENT_BINARY_DIR}/changelog")
set(CREWMAP_MANPAGE "${CMAKE_CURRENT_BINARY_DIR}/crewmap.1")
configure_file("${CREWMAP_DEB_DIR}/changelog.in" "${CREWMAP_CHANGELOG}" @ONLY)
configure_file("${CREWMAP_DEB_DIR}/crewmap.1" "${CREWMAP_MANPAGE}" @ONLY)
add_custom_command(OUTPUT "${CREWMAP_CHANGELOG}.gz" "${CREWMAP_MANPAGE}.gz"
  COMMAND gzip -9nfk "${CREWMAP_CHANGELOG}" "${CREWMAP_MANPAGE}"
  DEPENDS "${CREWMAP_CHANGELOG}" "${CREWMAP_MANPAGE}")
add_custom_target(crewmap_docs ALL DEPENDS "${CREWMAP_CHANGELOG}.gz" "${CREWMAP_MANPAGE}.gz")
install(FILES "${CREWMAP_DEB_DIR}/copyright" "${CREWMAP_CHANGELOG}.gz" DESTINATION usr/share/doc/crewmap)
install(FILES "${CREWMAP_MANPAGE}.gz" DESTINATION usr/share/man/man1)
install(FILES "${CREWMAP_DEB_DIR}/lintian-overrides" DESTINATION usr/share/lintian/overrides RENAME crewmap)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME crewmap)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Crewmap developers")
set(CPACK_PACKAGE_CONTACT "Crewmap developers <crewmap@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "share sea positions with your crew on a world map")
set(CPACK_PACKAGE_DESCRIPTION [=[
Crewmap is a companion for players of the online sea-trading game
大航海時代 Online. It reads the player's sea coordinates off the game
window once a second, shares them over TCP within a group of up to ten,
draws every member on a zoomable world map, and shows a see-through
navigation overlay that points towards a target picked on the map.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps; the CJK font is what draws
# the Japanese captions, and Debian's Qt translations (built for the same Qt
# as the libraries, kept in step with them by Debian) give Qt's own buttons
# and menus their Japanese texts. Depending on the package rather than
# shipping a copy of its qtbase_ja.qm keeps the two from drifting apart.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
include(CPack)
