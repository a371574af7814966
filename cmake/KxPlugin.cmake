# kx_add_ffgl_plugin(NAME SOURCES src...)
#
# Builds an FFGL plug-in as build/plugins/NAME.so (NAME.dll on Windows) from the given sources and
# the kxapi library. The library exports exactly one symbol, plugMain; the framework inside it
# stays private so that several plug-ins loaded into one host never bind to each other's copies.
# A DLL gets its exports from a module-definition file (MinGW ignores symbol visibility) and
# carries its C and C++ runtime support statically (see mingw-w64-x86_64.cmake).
#
# Every plug-in's name is appended to the global property KX_PLUGINS, so that tools which run
# over all plug-ins (stress runs, fuzz targets) pick new ones up without being edited. In the
# fuzzing build (KX_FUZZ) the plug-in is an object library of the same name instead, linked
# straight into its fuzz target.
set(KX_PLUGIN_OUTPUT_DIR ${CMAKE_BINARY_DIR}/plugins)
set(KX_PLUGIN_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.map)
set(KX_PLUGIN_DLL_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/plugin-exports.def)

function(kx_add_ffgl_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY KX_PLUGINS ${name})
  if(KX_FUZZ)
    add_library(${name} OBJECT ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC kxapi)
    return()
  endif()
  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kxapi)
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
  # Tests compile an effect's own sources into themselves to reach its classes; keep them findable.
  set(sources "")
  foreach(src ${ARG_SOURCES})
    get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND sources ${abs})
  endforeach()
  # The list of every effect plug-in, for tests that run on all of them.
  set_property(GLOBAL APPEND PROPERTY KX_EFFECT_PLUGINS ${name})
  set_target_properties(${name} PROPERTIES
    KX_EFFECT_SOURCES "${sources}"
    KX_EFFECT_DIR ${CMAKE_CURRENT_SOURCE_DIR})
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
