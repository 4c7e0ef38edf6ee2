#!/bin/sh
# bench-bad-folder.sh SCAN: the scan benchmark, given a folder it can't open, must say why on
# its error output and exit non-zero, within seconds rather than waiting forever.
set -u
scan="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
missing="$work/no such folder"
code=0
timeout 30 "$scan" "$missing" >"$work/out" 2>"$work/err" || code=$?
cat "$work/out" "$work/err"
if [ "$code" -eq 124 ]; then
    echo "FAIL: scan still running after 30 s on a missing folder"
    exit 1
fi
if [ "$code" -eq 0 ]; then
    echo "FAIL: scan exited 0 on a missing folder"
    exit 1
fi
if ! grep -q "^scan: .*no such folder.*No such file or directory" "$work/err"; then
    echo "FAIL: scan did not name the folder and the reason"
    exit 1
fi
echo "scan exited $code with the reason"
