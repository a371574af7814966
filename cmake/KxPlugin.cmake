# kx_add_ffgl_plugin(NAME SOURCES src... [TESTS test.cpp...])
#
# Builds an FFGL plug-in as <build>/plugins/NAME.so (NAME.dll on Windows) from the given sources
# and the KX framework (KX::kxapi). The library exports exactly one symbol, plugMain; the
# framework inside it stays private so that several plug-ins loaded into one host never bind to
# each other's copies. The same file serves this source tree and the installed KX package
# (find_package(KX)), so an effect built anywhere gets the same flags, visibility and version
# script. A DLL gets its exports from a module-definition file (MinGW ignores symbol visibility)
# and carries its C and C++ runtime support statically (see mingw-w64-x86_64.cmake).
#
# TESTS are GoogleTest programs that compile the effect's own sources in and run them in a
# headless GL context: in this tree they are built with the other GL tests (tests/), against the
# installed package right here when its testing library (KX::testing) is there (call
# enable_testing() before, so that CTest runs them).
#
# `install` puts the plug-in into KX_PLUGIN_INSTALL_DIR (default lib/ffgl), component
# KX_PLUGIN_INSTALL_COMPONENT (default runtime).
#
# Every plug-in's name is appended to the global property KX_PLUGINS, so that tools which run
# over all plug-ins (stress runs, fuzz targets) pick new ones up without being edited. In the
# fuzzing build (KX_FUZZ) the plug-in is an object library of the same name instead, linked
# straight into its fuzz target.
set(KX_PLUGIN_OUTPUT_DIR ${CMAKE_BINARY_DIR}/plugins)
set(KX_PLUGIN_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.map)
set(KX_PLUGIN_DLL_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.def)
if(NOT DEFINED KX_PLUGIN_INSTALL_DIR)
  set(KX_PLUGIN_INSTALL_DIR lib/ffgl)
endif()
if(NOT DEFINED KX_PLUGIN_INSTALL_COMPONENT)
  set(KX_PLUGIN_INSTALL_COMPONENT runtime)
endif()

function(kx_add_ffgl_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES;TESTS" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY KX_PLUGINS ${name})
  if(KX_FUZZ)
    add_library(${name} OBJECT ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC KX::kxapi)
    return()
  endif()
  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE KX::kxapi)
  # What the framework itself is built with; in this tree the same settings are the defaults.
  set_target_properties(${name} PROPERTIES
    CXX_STANDARD 17
    CXX_STANDARD_REQUIRED ON
    CXX_EXTENSIONS OFF
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(DEFINED KX_PLUGIN_COMPILE_OPTIONS)
    target_compile_options(${name} PRIVATE ${KX_PLUGIN_COMPILE_OPTIONS})
  endif()
  # The entry point lives in the static library; make sure it is pulled in and nothing else leaks.
  if(WIN32)
    target_sources(${name} PRIVATE ${KX_PLUGIN_DLL_EXPORTS})
    # Stripped: the DLL is what users copy, and Windows debuggers cannot read MinGW's DWARF.
    target_link_options(${name} PRIVATE -Wl,--undefined=plugMain -Wl,--exclude-all-symbols -s)
    set(suffix ".dll")
  else()
    target_link_options(${name} PRIVATE
      -Wl,--undefined=plugMain
      -Wl,--version-script=${KX_PLUGIN_EXPORTS}
      -Wl,--no-undefined)
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${KX_PLUGIN_EXPORTS})
    set(suffix ".so")
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    SUFFIX ${suffix}
    LIBRARY_OUTPUT_DIRECTORY ${KX_PLUGIN_OUTPUT_DIR})
  if(NOT WIN32)
    install(TARGETS ${name} LIBRARY DESTINATION ${KX_PLUGIN_INSTALL_DIR} COMPONENT ${KX_PLUGIN_INSTALL_COMPONENT})
  endif()
  # Tests compile an effect's own sources into themselves to reach its classes; keep them findable.
  set(sources "")
  foreach(src ${ARG_SOURCES})
    get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND sources ${abs})
  endforeach()
  set(tests "")
  foreach(src ${ARG_TESTS})
    get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND tests ${abs})
  endforeach()
  # The list of every effect plug-in, for tests that run on all of them.
  set_property(GLOBAL APPEND PROPERTY KX_EFFECT_PLUGINS ${name})
  set_target_properties(${name} PROPERTIES
    KX_EFFECT_SOURCES "${sources}"
    KX_EFFECT_TESTS "${tests}"
    KX_EFFECT_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(tests AND KX_PACKAGE_DIR)
    if(TARGET KX::testing)
      kx_add_effect_tests(${name} KX::testing)
    else()
      message(STATUS "${name}: tests not built (the KX package found no GoogleTest, so it has no KX::testing)")
    endif()
  endif()
endfunction()

# kx_use_effect_sources(TARGET PLUGIN)
#
# Compiles the plug-in PLUGIN's own sources into TARGET (a test) and lets it include their headers.
function(kx_use_effect_sources target plugin)
  get_target_property(sources ${plugin} KX_EFFECT_SOURCES)
  get_target_property(dir ${plugin} KX_EFFECT_DIR)
  target_sources(${target} PRIVATE ${sources})
  target_include_directories(${target} PRIVATE ${dir})
endfunction()

# kx_add_effect_tests(PLUGIN FIXTURE)
#
# Builds each TESTS source of PLUGIN as its own GoogleTest program (named after the file), with
# the plug-in's sources compiled in and linked with FIXTURE, the library that brings the headless
# GL context and the GLTest fixture.
function(kx_add_effect_tests plugin fixture)
  get_target_property(tests ${plugin} KX_EFFECT_TESTS)
  if(NOT tests)
    return()
  endif()
  include(GoogleTest)
  foreach(test ${tests})
    get_filename_component(stem ${test} NAME_WE)
    add_executable(${stem} ${test})
    target_link_libraries(${stem} PRIVATE KX::kxapi ${fixture} GTest::gtest GTest::gtest_main)
    kx_use_effect_sources(${stem} ${plugin})
    if(WIN32)
      # One test per program, as the other GL tests: each program start under Wine costs a second.
      add_test(NAME ${stem} COMMAND ${stem})
    else()
      gtest_discover_tests(${stem} DISCOVERY_MODE PRE_TEST)
    endif()
  endforeach()
endfunction()
