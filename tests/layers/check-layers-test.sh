#!/bin/sh
# scripts/check-layers on small trees of its own, with the real table: a tree that keeps the
# rules passes silently; each wrong include is named with its file, line and the rule, and
# fails the check. check-layers-test.sh TOP_FOLDER
set -eu
TOP="$1"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
failures=0

put() { # put FILE LINES...: writes a file of the tree
    file="$tree/$1"
    shift
    mkdir -p "$(dirname "$file")"
    printf '%s\n' "$@" >"$file"
}

# expect CODE TEXT: check-layers ends with CODE and prints TEXT ("" for nothing)
expect() {
    code=0
    out="$(sh "$TOP/scripts/check-layers" "$tree" 2>&1)" || code=$?
    if [ "$code" != "$1" ]; then
        echo "FAIL: check-layers ended with $code, not $1; it said: $out"
        failures=$((failures + 1))
    elif [ -z "$2" ] && [ -n "$out" ]; then
        echo "FAIL: check-layers said: $out"
        failures=$((failures + 1))
    elif [ -n "$2" ] && ! printf '%s\n' "$out" | grep -qxF "$2"; then
        echo "FAIL: check-layers said: $out"
        echo "      and not: $2"
        failures=$((failures + 1))
    fi
}

mkdir -p "$tree/cmake"
cp "$TOP/cmake/layers.txt" "$tree/cmake/"
put platform/KZError.h '#pragma once'
put platform/widgets/KZImage.h '#pragma once' '#include "platform/KZError.h"'
put model/KZFile.h '#pragma once' '#include "platform/KZError.h"'
put model/KZFile.cpp '#include "model/KZFile.h"' '' '#include "KZFile.h"' '#include <QString>' '#include <QtCore/QObject>'
put treemap/TQTheme.h '#pragma once' '#include "model/KZFile.h"'
put treemap/KZNestedTreemapView.h '#pragma once' '#include "treemap/TQTheme.h"' '#include "platform/widgets/KZImage.h"'
put kit/KZView.h '#pragma once' '#include "platform/widgets/KZImage.h"' '#include "model/KZFile.h"'
put app/TQAppDelegate.cpp '#include "kit/KZView.h"' '#include "treemap/KZNestedTreemapView.h"' '#include "ui_TQAppDelegate.h"'
put tests/support/TestSupport.h '#pragma once' '#include "platform/KZError.h"'
put tests/kit/FakeTouchBar.h '#pragma once' '#include "kit/KZView.h"'
put tests/app/MainWindowTest.cpp '#include "app/TQAppDelegate.h"' '#include "tests/kit/FakeTouchBar.h"'
put app/TQAppDelegate.h '#pragma once'
expect 0 ""

put model/KZFile.cpp '#include "model/KZFile.h"' '' '  #  include "treemap/TQTheme.h"'
expect 1 "model/KZFile.cpp:3: includes treemap/TQTheme.h: layer model may not include layer treemap (cmake/layers.txt)"
put model/KZFile.cpp '#include <platform/widgets/KZImage.h>'
expect 1 "model/KZFile.cpp:1: includes platform/widgets/KZImage.h: layer model may not include layer platform-widgets (cmake/layers.txt)"
put model/KZFile.cpp '#include "model/KZFile.h"'

put platform/KZError.h '#pragma once' '#include "model/KZFile.h"'
expect 1 "platform/KZError.h:2: includes model/KZFile.h: layer platform may not include layer model (cmake/layers.txt)"
put platform/KZError.h '#pragma once'

put treemap/TQTheme.cpp '#include "KZNestedTreemapView.h"'
expect 1 "treemap/TQTheme.cpp:1: includes treemap/KZNestedTreemapView.h: layer treemap may not include layer treemap-view (cmake/layers.txt)"
put treemap/TQTheme.cpp '#include "TQTheme.h"' '#include "NotHere.h"'
expect 1 "treemap/TQTheme.cpp:2: includes \"NotHere.h\", which is not beside it"
rm "$tree/treemap/TQTheme.cpp"

put kit/KZView.cpp '#include "kit/KZView.h"' '#include "app/TQAppDelegate.h"'
expect 1 "kit/KZView.cpp:2: includes app/TQAppDelegate.h: layer kit may not include layer app (cmake/layers.txt)"
put kit/KZView.cpp '#include "treemap/TQTheme.h"'
expect 1 "kit/KZView.cpp:1: includes treemap/TQTheme.h: layer kit may not include layer treemap (cmake/layers.txt)"
rm "$tree/kit/KZView.cpp"

put tests/platform/RemoverTest.cpp '#include "tests/support/TestSupport.h"' '#include "model/KZFile.h"'
expect 1 "tests/platform/RemoverTest.cpp:2: includes model/KZFile.h: layer tests-platform may not include layer model (cmake/layers.txt)"
put tests/platform/RemoverTest.cpp '#include "tests/kit/FakeTouchBar.h"'
expect 1 "tests/platform/RemoverTest.cpp:1: includes tests/kit/FakeTouchBar.h: layer tests-platform may not include layer tests-kit (cmake/layers.txt)"
put tests/platform/RemoverTest.cpp '#include "elsewhere/Thing.h"'
expect 1 "tests/platform/RemoverTest.cpp:1: includes \"elsewhere/Thing.h\", which is in no layer of cmake/layers.txt"
rm "$tree/tests/platform/RemoverTest.cpp"
expect 0 ""

[ "$failures" = 0 ] && echo "check-layers: every case as expected"
[ "$failures" = 0 ]
