# Helpers shared by the subsystem folders.

# sizemere_sources(OUT DIR [EXCLUDE regex]): the .cpp/.h files directly in DIR.
function(sizemere_sources out dir)
  cmake_parse_arguments(ARG "" "EXCLUDE;INCLUDE" "" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  if(ARG_INCLUDE)
    list(FILTER files INCLUDE REGEX "${ARG_INCLUDE}")
  endif()
  if(ARG_EXCLUDE)
    list(FILTER files EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# sizemere_test(NAME DIR LIBS...): one GoogleTest program from the .cpp files of DIR (and its
# interface files), in the layer "tests-<folder name>".
function(sizemere_test name dir)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  if(NOT files)
    return()
  endif()
  add_executable(${name} ${files})
  sizemere_interfaces(${name} ${dir})
  get_filename_component(folder ${dir} NAME)
  sizemere_layer(${name} tests-${folder})
  target_link_libraries(${name} PRIVATE ${ARGN} sizemere_testsupport GTest::gtest Qt6::Test)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()

# sizemere_interfaces(TARGET DIR): compiles each interface file of DIR (NAME.ui) into
# ui_NAME.h for TARGET's sources and for what links TARGET. Each header has a rule of its own,
# so an object that includes it is rebuilt in the same build that remakes it, and a new .ui
# file is picked up when the build next looks at the folder.
function(sizemere_interfaces target dir)
  file(GLOB forms CONFIGURE_DEPENDS ${dir}/*.ui)
  if(NOT forms)
    return()
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_interfaces)
  file(MAKE_DIRECTORY ${out})
  set(headers)
  foreach(form IN LISTS forms)
    get_filename_component(name ${form} NAME_WE)
    set(header ${out}/ui_${name}.h)
    add_custom_command(OUTPUT ${header}
      COMMAND Qt6::uic -o ${header} ${form}
      DEPENDS ${form} Qt6::uic
      COMMENT "Compiling the interface ${name}.ui"
      VERBATIM)
    list(APPEND headers ${header})
  endforeach()
  set_source_files_properties(${headers} PROPERTIES SKIP_AUTOGEN ON)
  target_sources(${target} PRIVATE ${headers})
  target_include_directories(${target} PUBLIC ${out})
endfunction()

# sizemere_watch_sources(DIR): automoc runs again when one of a target's files changes, but a
# header newly added to the target (a glob above found it) is not among the files it last read.
# So each target under DIR also holds a header of its own, made here, that lists the target's
# sources and changes only when the list does: automoc reads it, and the build that follows the
# addition of a Q_OBJECT header runs moc on it.
function(sizemere_watch_sources dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(binary DIRECTORY ${dir} PROPERTY BINARY_DIR)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(automoc ${target} AUTOMOC)
    if(NOT automoc OR type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    list(JOIN sources "\n// " listing)
    set(file ${binary}/${target}_sources/${target}_sources.h)
    file(CONFIGURE OUTPUT ${file} CONTENT "// The sources of ${target}:\n// ${listing}\n" @ONLY)
    target_sources(${target} PRIVATE ${file})
    # Interface headers made by automoc's sibling (AUTOUIC) in a build folder from before
    # sizemere_interfaces would come first on the include path: they go.
    file(GLOB stale ${binary}/${target}_autogen/include/ui_*.h)
    if(stale)
      file(REMOVE ${stale})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    sizemere_watch_sources(${subdirectory})
  endforeach()
endfunction()
