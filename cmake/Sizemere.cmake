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

# sizemere_test(NAME DIR LIBS...): one GoogleTest program from the .cpp files of DIR, in the
# layer "tests-<folder name>".
function(sizemere_test name dir)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  if(NOT files)
    return()
  endif()
  add_executable(${name} ${files})
  get_filename_component(folder ${dir} NAME)
  sizemere_layer(${name} tests-${folder})
  target_link_libraries(${name} PRIVATE ${ARGN} sizemere_testsupport GTest::gtest Qt6::Test)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()
