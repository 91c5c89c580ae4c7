# What an installed copy brings along, and the Debian package made of it:
#   cmake -S . -B build/package && cmake --build build/package && (cd build/package && cpack -G DEB)
#   ->  mirovell_<version>_amd64.deb, with every file under /usr (the default prefix here)
# scripts/package.sh does this with Debian's hardening flags.

set(_pkg ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${_pkg}/de.mirovell.Mirovell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/de.mirovell.Mirovell.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/mirovell.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The bitmaps are rendered from the SVG: rsvg-convert -w N -h N resources/mirovell.svg -o resources/icons/mirovell-N.png
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/mirovell-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME mirovell.png)
endforeach()

if(UNIX AND NOT APPLE)
    # The package's version, its changelog and its AppStream release must not drift apart.
    file(STRINGS ${_pkg}/changelog _first LIMIT_COUNT 1)
    if(NOT _first MATCHES "^mirovell \\(${PROJECT_VERSION}\\) ")
        message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: ${_first}")
    endif()
    file(READ ${_pkg}/de.mirovell.Mirovell.metainfo.xml _metainfo)
    if(NOT _metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
        message(FATAL_ERROR "the metainfo's releases do not name version ${PROJECT_VERSION}")
    endif()

    # Compressed without name and time stamp, so that the same sources give the same package.
    set(_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging)
    add_custom_command(OUTPUT ${_gz}/mirovell.1.gz ${_gz}/changelog.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_gz}
        COMMAND ${CMAKE_COMMAND} -E copy ${_pkg}/mirovell.1 ${_pkg}/changelog ${_gz}
        COMMAND gzip -9nf ${_gz}/mirovell.1 ${_gz}/changelog
        DEPENDS ${_pkg}/mirovell.1 ${_pkg}/changelog
        VERBATIM)
    add_custom_target(mirovell_docs ALL DEPENDS ${_gz}/mirovell.1.gz ${_gz}/changelog.gz)
    install(FILES ${_gz}/mirovell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${_pkg}/copyright ${_gz}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/mirovell)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirovell)
set(CPACK_PACKAGE_VENDOR Mirovell)
set(CPACK_PACKAGE_CONTACT "Mirovell developers <mirovell@mirovell.de>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "play lists by drag and drop, played or streamed with VLC")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Mirovell is a small German-language helper for the VLC media player.\n"
    "Media files and play lists dragged onto its window make up a play list,\n"
    "which VLC plays on this PC, streams to another PC on the local network,\n"
    "or receives from there. Two running copies keep a small link of their\n"
    "own: the receiving PC sees the sender's track list and can ask for a\n"
    "track with a double-click. A phone on the network can see the list and\n"
    "steer the sending VLC in its browser, once the sender's user lets it in.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.mirovell.de/Downloads/Tools/Mirovell/")
# Qt's libraries (with its HTTP server and WebSockets) and libqrencode are found by dpkg-shlibdeps; VLC is an outside program the window works without.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcrypto 3 is loaded when an update's signature is checked, so no linked library names it
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3 (>= 3.0.0)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "vlc, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The program decides at run time whether it is the installed copy by comparing its folder with
# the one it was built for, so the package installs exactly where the build was configured to.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
