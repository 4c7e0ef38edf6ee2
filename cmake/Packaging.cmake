# The Debian package: `cpack -G DEB` in a build folder (or scripts/package) makes
# sizemere_VERSION_ARCH.deb of what `cmake --install` installs: the program, its launcher entry,
# its icons, its manual page, its copyright notice and changelog, under /usr.
include(GNUInstallDirs)
set(SIZEMERE_MAINTAINER "Sizemere maintainers <maintainers@users.noreply.c-seed-fff99dfc.example>"
    CACHE STRING "Who maintains the Debian package (its Maintainer field and changelog)")

# The manual page and the changelog are installed compressed (gzip -9n: the same bytes on
# every build), the copyright notice as it is (packaging/copyright, machine-readable).
find_program(SIZEMERE_GZIP gzip REQUIRED)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(SIZEMERE_PACKAGE_DOCS)
foreach(pair "docs/sizemere.1:${CMAKE_SOURCE_DIR}/docs/sizemere.1" "changelog:${CMAKE_BINARY_DIR}/packaging/changelog")
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 1 source)
  get_filename_component(name ${source} NAME)
  set(compressed ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${SIZEMERE_GZIP} -9 -n -c ${source} > ${compressed}
    DEPENDS ${source}
    COMMENT "Compressing ${name}")
  list(APPEND SIZEMERE_PACKAGE_DOCS ${compressed})
endforeach()
add_custom_target(sizemere_package_docs ALL DEPENDS ${SIZEMERE_PACKAGE_DOCS})
install(FILES ${CMAKE_BINARY_DIR}/packaging/sizemere.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/sizemere)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sizemere)
set(CPACK_PACKAGE_VENDOR "Sizemere")
set(CPACK_PACKAGE_CONTACT "${SIZEMERE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SIZEMERE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk usage analyzer that draws a folder as a treemap")
# The extended description: lines of at most 79 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Sizemere scans a folder and draws it as a nested treemap, every file and\n"
    "folder a rectangle whose area follows its size. From the treemap you can\n"
    "delete items at once, move them to the Trash or collect them in a delete\n"
    "queue, compress them into zip archives, ignore them and rescan folders.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps (libqt6svg6 among them, which also
# holds Qt's SVG image and icon plugins, and libcanberra0); these are what it loads or runs by
# name: Qt's platform plugins (the window), the icon theme it falls back on, and zip for
# compressing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, adwaita-icon-theme, zip")
# Text needs at least one font; opening files and web pages needs xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core | fonts-freefont-ttf | fonts-liberation2, xdg-utils")
# The chime reaches the desktop's sound server through libcanberra's PulseAudio driver, which
# desktops with a sound server (GNOME, Plasma, MATE, Cinnamon) install already. Only suggested:
# required or recommended, it would bring a sound server and its media libraries into a system
# that has none, where the chime is meant to be silent.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libcanberra-pulse")
# The files a package owns come with the permissions dpkg expects, whatever the umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
