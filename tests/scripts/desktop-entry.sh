#!/bin/sh
# desktop-entry.sh DESKTOP_FILE ICON_DIR: the launcher entry passes desktop-file-validate without
# an error, warning or hint, and ICON_DIR (the build's drawn icons) holds the icon at every size
# an icon theme looks for, 48x48 among them, each a PNG of its size.
set -u
entry="$1"
icons="$2"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# png_size FILE: "WIDTHxHEIGHT" from the PNG's header, or "" when it is no PNG.
png_size() {
    [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = "89504e470d0a1a0a" ] || return 0
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ printf "%dx%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8 }'
}

said="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate refused $entry"
[ -z "$said" ] || fail "desktop-file-validate: $said"
grep -qx 'Icon=sizemere' "$entry" || fail "the entry does not name the sizemere icon"
grep -qx 'Exec=sizemere' "$entry" || fail "the entry does not start sizemere"

for size in 16 22 24 32 48 64 128 256; do
    png="$icons/${size}x${size}/sizemere.png"
    if [ ! -f "$png" ]; then
        fail "no ${size}x${size} icon ($png)"
    elif [ "$(png_size "$png")" != "${size}x${size}" ]; then
        fail "$png is not a ${size}x${size} PNG (got '$(png_size "$png")')"
    fi
done
[ "$failed" = 0 ] && echo "launcher entry and icons are fine"
exit "$failed"
