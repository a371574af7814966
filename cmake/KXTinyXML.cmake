# TinyXML as the imported target KX::TinyXML: Debian's libtinyxml-dev brings no CMake package of
# its own. This tree and the installed KX package both find it through this file, so that the
# framework's exported link interface names the same target in both.
#
# Sets KX_TINYXML_FOUND; the target exists only when it is true.
if(TARGET KX::TinyXML)
  set(KX_TINYXML_FOUND TRUE)
  return()
endif()

find_path(KX_TINYXML_INCLUDE_DIR tinyxml.h)
find_library(KX_TINYXML_LIBRARY tinyxml)
mark_as_advanced(KX_TINYXML_INCLUDE_DIR KX_TINYXML_LIBRARY)
if(KX_TINYXML_INCLUDE_DIR AND KX_TINYXML_LIBRARY)
  add_library(KX::TinyXML UNKNOWN IMPORTED)
  set_target_properties(KX::TinyXML PROPERTIES
    IMPORTED_LOCATION "${KX_TINYXML_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${KX_TINYXML_INCLUDE_DIR}")
  set(KX_TINYXML_FOUND TRUE)
else()
  set(KX_TINYXML_FOUND FALSE)
endif()
