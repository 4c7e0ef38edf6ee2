#!/bin/sh
# debian-package.sh BUILD_DIR: cpack makes the Debian package from the build; the package is
# named sizemere, declares the libraries the program links and what it loads or runs by name
# (and no media framework), holds the program, its launcher entry (still valid where it is
# installed), its icons, its manual page, copyright notice and changelog, and lintian finds no
# error and no warning in it.
set -u
build="$1"
# cpack installs through the build's own install script, which writes its list of installed
# files into the build folder: a user who may not write there (the test command runs the tests
# again as another user) can't make the package.
if [ ! -w "$build" ]; then
    echo "debian-package.sh: Skipped"
    echo "$(id -un) may not write in $build, where cpack writes (the build's owner runs this test)"
    echo "[  SKIPPED ] Setup.DebianPackage"
    exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack made no package"
    exit 1
fi
set -- "$work"/out/sizemere_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    ls -l "$work/out"
    echo "FAIL: not one sizemere_*.deb"
    exit 1
fi
deb="$1"
echo "made $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = sizemere ] || fail "the package is not named sizemere"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
names="$(echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//')"
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6dbus6 libcanberra0 \
    qt6-qpa-plugins adwaita-icon-theme zip; do
    echo "$names" | grep -qx "$needed" || fail "Depends lacks $needed"
done
dpkg-deb -f "$deb" Suggests | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx libcanberra-pulse ||
    fail "Suggests lacks libcanberra-pulse"
# The chime goes through libcanberra: no media framework comes with the program.
recommended="$(dpkg-deb -f "$deb" Recommends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//')"
for unwanted in libqt6multimedia6 libgstreamer1.0-0 libavcodec59 libavformat59 libcanberra-pulse pulseaudio; do
    printf '%s\n%s\n' "$names" "$recommended" | grep -qx "$unwanted" && fail "Depends or Recommends names $unwanted"
done

dpkg-deb -x "$deb" "$work/root"
[ -x "$work/root/usr/bin/sizemere" ] || fail "no /usr/bin/sizemere"
entry="$work/root/usr/share/applications/sizemere.desktop"
if [ -f "$entry" ]; then
    said="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate refused the installed entry"
    [ -z "$said" ] || fail "desktop-file-validate: $said"
else
    fail "no /usr/share/applications/sizemere.desktop"
fi
[ -f "$work/root/usr/share/icons/hicolor/scalable/apps/sizemere.svg" ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
    [ -f "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/sizemere.png" ] || fail "no ${size}x${size} icon"
done
[ -f "$work/root/usr/share/man/man1/sizemere.1.gz" ] || fail "no manual page"
if [ -f "$work/root/usr/share/man/man1/sizemere.1.gz" ]; then
    # The page reads without a complaint from groff (what man shows).
    said="$(gzip -dc "$work/root/usr/share/man/man1/sizemere.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1)"
    [ -z "$said" ] || fail "the manual page: $said"
fi
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$work/root/usr/share/doc/sizemere/copyright" 2>/dev/null || fail "no machine-readable copyright file"
[ -f "$work/root/usr/share/doc/sizemere/changelog.gz" ] || fail "no changelog"
# Nothing outside /usr, and nothing in it that the program does not need.
unexpected="$(dpkg-deb -c "$deb" | awk '{ print $6 }' |
    grep -v -E '^\./usr/(|bin/|bin/sizemere|share/|share/applications/|share/applications/sizemere\.desktop)$' |
    grep -v -E '^\./usr/share/(doc/(sizemere/(copyright|changelog\.gz)?)?|man/(man1/(sizemere\.1\.gz)?)?)$' |
    grep -v -E '^\./usr/share/icons/(hicolor/((scalable|[0-9]+x[0-9]+)/(apps/(sizemere\.(png|svg))?)?)?)?$' || true)"
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
# lintian: every tag is shown; an error or a warning fails. (It says it would rather not run as
# root; that line is no tag.)
if command -v lintian >/dev/null 2>&1; then
    lintian --tag-display-limit 0 -I "$deb" >"$work/lintian" 2>&1
    grep -E '^[A-Z]: ' "$work/lintian"
    if grep -q -E '^[EW]: ' "$work/lintian"; then fail "lintian reports errors or warnings"; fi
    if grep -q -v -E '^[A-Z]: |root privileges' "$work/lintian"; then cat "$work/lintian"; fail "lintian did not run"; fi
else
    fail "lintian is not installed (scripts/deps installs it)"
fi
[ "$failed" = 0 ] && echo "the package is fine"
exit "$failed"
