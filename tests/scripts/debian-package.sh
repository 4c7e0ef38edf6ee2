#!/bin/sh
# debian-package.sh BUILD_DIR: cpack makes the Debian package from the build; the package is
# named sizemere, declares the libraries the program links and what it loads or runs by name,
# and holds the program, its launcher entry (still valid where it is installed) and its icons.
set -u
build="$1"
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
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6multimedia6 libqt6dbus6 \
    qt6-qpa-plugins adwaita-icon-theme zip; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx "$needed" || fail "Depends lacks $needed"
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
# Nothing outside /usr, and nothing in it that the program does not need.
unexpected="$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v -E '^\./usr/(|bin/|bin/sizemere|share/|share/applications/|share/applications/sizemere\.desktop)$' |
    grep -v -E '^\./usr/share/icons/(hicolor/((scalable|[0-9]+x[0-9]+)/(apps/(sizemere\.(png|svg))?)?)?)?$' || true)"
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
[ "$failed" = 0 ] && echo "the package is fine"
exit "$failed"
