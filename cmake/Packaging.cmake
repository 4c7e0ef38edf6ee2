# The Debian package: `cpack -G DEB` in a build folder (or scripts/package) makes
# sizemere_VERSION_ARCH.deb of what `cmake --install` installs: the program, its launcher entry
# and its icons, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sizemere)
set(CPACK_PACKAGE_VENDOR "Sizemere")
set(CPACK_PACKAGE_CONTACT "Sizemere developers <sizemere@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk usage analyzer that draws a folder as a treemap")
set(CPACK_PACKAGE_DESCRIPTION
    "Sizemere scans a folder and draws it as a nested treemap, every file and folder a\n"
    "rectangle whose area follows its size. From the treemap you can delete items at once,\n"
    "move them to the Trash or collect them in a delete queue, compress them into zip\n"
    "archives, ignore them and rescan folders.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps (libqt6svg6 among them, which also
# holds Qt's SVG image and icon plugins); these are what it loads or runs by name: Qt's
# platform plugins (the window), the icon theme it falls back on, and zip for compressing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, adwaita-icon-theme, zip")
# Text needs at least one font; opening files and web pages needs xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core | fonts-freefont-ttf | fonts-liberation2, xdg-utils")
# The files a package owns come with the permissions dpkg expects, whatever the umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
