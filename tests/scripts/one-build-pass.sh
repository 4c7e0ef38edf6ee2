#!/bin/sh
# one-build-pass.sh SOURCE_DIR: the build's rules for interface files and moc, on a small
# project of their own (cmake/Sizemere.cmake's sizemere_sources, sizemere_interfaces and
# sizemere_watch_sources): after an edit of an interface file, and after a new Q_OBJECT header
# with its source, one `cmake --build` builds what changed and leaves "no work to do".
set -u
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
p="$work/project"
mkdir -p "$p/src" "$p/ui"

cat >"$p/CMakeLists.txt" <<END
cmake_minimum_required(VERSION 3.25)
project(OnePass LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_AUTOMOC ON)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
include($source_dir/cmake/Sizemere.cmake)
sizemere_sources(SOURCES \${CMAKE_SOURCE_DIR}/src)
add_library(forms STATIC \${SOURCES})
target_include_directories(forms PUBLIC \${CMAKE_SOURCE_DIR}/src)
target_link_libraries(forms PUBLIC Qt6::Widgets)
sizemere_interfaces(forms \${CMAKE_SOURCE_DIR}/ui)
add_executable(program main.cpp)
target_link_libraries(program PRIVATE forms)
sizemere_watch_sources(\${CMAKE_SOURCE_DIR})
END
cat >"$p/ui/Form.ui" <<'END'
<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Form</class>
 <widget class="QWidget" name="Form">
  <layout class="QVBoxLayout" name="layout">
   <item>
    <widget class="QLabel" name="label">
     <property name="text"><string>first</string></property>
    </widget>
   </item>
  </layout>
 </widget>
 <resources/>
 <connections/>
</ui>
END
cat >"$p/src/Form.h" <<'END'
#pragma once
#include <QString>
QString formText();
END
cat >"$p/src/Form.cpp" <<'END'
#include "Form.h"
#include "ui_Form.h"
QString formText()
{
    QWidget widget;
    Ui::Form form;
    form.setupUi(&widget);
    return form.label->text();
}
END
cat >"$p/main.cpp" <<'END'
#include "Form.h"
#include <QApplication>
#include <cstdio>
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::printf("%s\n", qPrintable(formText()));
}
END

build() { cmake --build "$p/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "$1: the build failed"; }; }
settled() {
    cmake --build "$p/build" >"$work/again.log" 2>&1
    grep -q "no work to do" "$work/again.log" || { cat "$work/again.log"; fail "$1: a second build had work left"; }
}
says() {
    said="$(QT_QPA_PLATFORM=offscreen "$p/build/program" 2>/dev/null)"
    [ "$said" = "$2" ] || fail "$1: the program says '$said', not '$2'"
}

cmake -S "$p" -B "$p/build" -G Ninja >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure"; exit 1; }
build "first build"
says "first build" first

# An interface file changes: the object that includes its header is rebuilt in the same run.
sed -i 's/>first</>second</' "$p/ui/Form.ui"
build "edited .ui"
says "edited .ui" second
settled "edited .ui"

# A new Q_OBJECT header and its source: moc runs on it in the same run (else the link fails).
cat >"$p/src/Signal.h" <<'END'
#pragma once
#include <QObject>
class Signal : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void rang(const QString& text);
};
QString ring();
END
cat >"$p/src/Signal.cpp" <<'END'
#include "Signal.h"
QString ring()
{
    Signal signal;
    QString heard;
    QObject::connect(&signal, &Signal::rang, [&](const QString& text) { heard = text; });
    emit signal.rang(QStringLiteral("rung"));
    return heard;
}
END
sed -i 's/#include "Form.h"/#include "Form.h"\n#include "Signal.h"/; s/qPrintable(formText())/qPrintable(formText() + ring())/' "$p/main.cpp"
build "new Q_OBJECT header"
says "new Q_OBJECT header" secondrung
settled "new Q_OBJECT header"

[ "$failed" = 0 ] && echo "one build pass after each edit"
exit "$failed"
