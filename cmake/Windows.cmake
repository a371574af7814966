# The 64-bit Windows build (cross-compiled with MinGW-w64, see mingw-w64-x86_64.cmake and
# scripts/build-windows.sh): compiler settings, OpenGL, and the dependencies Debian ships no
# MinGW build of, built here from Debian's own sources:
#
#   KX_TINYXML_SOURCE_DIR  an unpacked, patched Debian source package of TinyXML (required)
#   KX_PNG_SOURCE_DIR      the same of libpng (required)
#   KX_GTEST_SOURCE_DIR    GoogleTest's sources (Debian's googletest package: /usr/src/googletest)
#
# Tests run under Wine when the build machine is not Windows: every test program gets
# KX_WINE_COMMAND (the emulator) with a private prefix in the build folder.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(FATAL_ERROR "Only 64-bit Windows is supported (the host interface uses 64-bit words)")
endif()

# windows.h (pulled in by GL/gl.h) without min/max macros and the rarely used APIs; M_PI and
# friends under -std=c++17.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _USE_MATH_DEFINES)

# opengl32 exports GL 1.1 only; the framework finds the rest at run time (KXGLEntryPoints.h).
find_package(OpenGL REQUIRED COMPONENTS OpenGL)

# TinyXML as Debian builds it: the library objects of its source package, with the STL.
set(KX_TINYXML_SOURCE_DIR "" CACHE PATH "Unpacked Debian source package of TinyXML")
if(NOT EXISTS "${KX_TINYXML_SOURCE_DIR}/tinyxml.cpp")
  message(FATAL_ERROR "KX_TINYXML_SOURCE_DIR must name TinyXML's unpacked source (scripts/build-windows.sh fetches it)")
endif()
add_library(tinyxml STATIC
  ${KX_TINYXML_SOURCE_DIR}/tinyxml.cpp
  ${KX_TINYXML_SOURCE_DIR}/tinyxmlparser.cpp
  ${KX_TINYXML_SOURCE_DIR}/tinyxmlerror.cpp)
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
target_compile_options(tinyxml PRIVATE -w) # not our code
target_include_directories(tinyxml PUBLIC ${KX_TINYXML_SOURCE_DIR})
add_library(KX::TinyXML ALIAS tinyxml)
set(KX_TINYXML_FOUND TRUE)

# libpng as Debian builds it, for ffglhost.exe's pictures: the library sources of its source
# package with the configuration libpng ships prebuilt, on the MinGW zlib Debian ships
# (libz-mingw-w64-dev), linked statically like everything else.
set(KX_PNG_SOURCE_DIR "" CACHE PATH "Unpacked Debian source package of libpng")
if(NOT EXISTS "${KX_PNG_SOURCE_DIR}/png.c")
  message(FATAL_ERROR "KX_PNG_SOURCE_DIR must name libpng's unpacked source (scripts/build-windows.sh fetches it)")
endif()
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
set(KX_PNG_CONFIG_DIR ${CMAKE_BINARY_DIR}/deps/png)
configure_file(${KX_PNG_SOURCE_DIR}/scripts/pnglibconf.h.prebuilt ${KX_PNG_CONFIG_DIR}/pnglibconf.h COPYONLY)
set(KX_PNG_SOURCES png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans
    pngwio pngwrite pngwtran pngwutil)
list(TRANSFORM KX_PNG_SOURCES PREPEND ${KX_PNG_SOURCE_DIR}/)
list(TRANSFORM KX_PNG_SOURCES APPEND .c)
add_library(png STATIC ${KX_PNG_SOURCES})
target_compile_options(png PRIVATE -w) # not our code
target_include_directories(png PUBLIC ${KX_PNG_SOURCE_DIR} ${KX_PNG_CONFIG_DIR})
target_link_libraries(png PUBLIC ZLIB::ZLIB)
add_library(PNG::PNG ALIAS png)

# GoogleTest from source, built into the build folder with the same compiler and flags.
set(KX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${KX_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "No GoogleTest sources in ${KX_GTEST_SOURCE_DIR} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/deps/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(lib gtest gtest_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# Running the programs: natively on Windows, otherwise under Wine with a private prefix, no debug
# chatter, and no offer to install Mono or Gecko into a new prefix.
if(NOT CMAKE_HOST_WIN32)
  find_program(KX_WINE wine REQUIRED)
  set(KX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${KX_WINE_PREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=" ${KX_WINE})
endif()

# kx_windows_path(OUT PATH): PATH as a Windows program sees it (under Wine the Unix root is
# drive Z:).
function(kx_windows_path out path)
  if(CMAKE_HOST_WIN32)
    set(${out} "${path}" PARENT_SCOPE)
  else()
    set(${out} "Z:${path}" PARENT_SCOPE)
  endif()
endfunction()

# The cross objdump reads the DLLs' export and import tables (tests/windows).
if(NOT KX_MINGW_OBJDUMP)
  find_program(KX_MINGW_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
endif()
