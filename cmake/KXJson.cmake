# nlohmann/json as the interface target KX::Json: the header-only JSON library of Debian's
# nlohmann-json3-dev, with which ffglhost writes its --report files.
#
# On Linux the headers are found where the compiler looks anyway. The Windows cross build must
# not search the build machine's /usr/include (its C library headers would shadow MinGW's), so
# the library's own folder is copied from there into the build folder and that copy is named.
#
# Sets KX_JSON_FOUND; the target exists only when it is true.
if(TARGET KX::Json)
  set(KX_JSON_FOUND TRUE)
  return()
endif()

if(WIN32 AND NOT CMAKE_HOST_WIN32)
  find_path(KX_JSON_HOST_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  mark_as_advanced(KX_JSON_HOST_INCLUDE_DIR)
  if(KX_JSON_HOST_INCLUDE_DIR)
    set(KX_JSON_INCLUDE_DIR ${CMAKE_BINARY_DIR}/deps/json)
    file(COPY ${KX_JSON_HOST_INCLUDE_DIR}/nlohmann DESTINATION ${KX_JSON_INCLUDE_DIR})
  endif()
else()
  find_path(KX_JSON_INCLUDE_DIR nlohmann/json.hpp)
  mark_as_advanced(KX_JSON_INCLUDE_DIR)
endif()

if(KX_JSON_INCLUDE_DIR)
  add_library(KX::Json INTERFACE IMPORTED GLOBAL)
  set_target_properties(KX::Json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${KX_JSON_INCLUDE_DIR}")
  set(KX_JSON_FOUND TRUE)
else()
  set(KX_JSON_FOUND FALSE)
endif()
