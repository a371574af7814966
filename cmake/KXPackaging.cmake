# CPack settings for the two Debian packages that scripts/package.sh builds from the install
# components (cmake/KXInstall.cmake):
#
#   quorus     component runtime: /usr/bin/ffglhost and the plug-ins in /usr/lib/ffgl/. Depends on
#              the shared libraries its programs link (found by dpkg-shlibdeps) and on Mesa's EGL
#              and software rasteriser, which the headless host needs at run time.
#   libkx-dev  component devel: the framework kit (headers, static libraries, CMake package,
#              kx-new-effect). Depends on what building an effect against it needs.
#
# Both install under /usr, so that find_package(KX) and the plug-in folder need no paths. The 32-bit
# x86 build (cmake/i386-linux-gnu.cmake) packages quorus alone, as an i386 package for 32-bit hosts;
# effect developers build 32-bit effects from the 64-bit kit's sources, not from a second kit.
set(CPACK_PACKAGE_NAME quorus)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorus developers")
set(CPACK_PACKAGE_CONTACT "Quorus developers <quorus@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_COMPONENTS_ALL runtime)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
else()
  set(CPACK_COMPONENTS_ALL runtime devel)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME quorus)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libegl-mesa0, libgl1-mesa-dri")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "ffmpeg, xvfb")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "FFGL video plug-ins Quorus, Afterglow and Kaleidoscope, with the ffglhost host
 Quorus draws a rotating, fogged 3-D particle network; Afterglow draws orbiting
 lights with feedback trails; Kaleidoscope mirrors the host's picture around a
 centre. They are FFGL 1.5 plug-ins (two sources, one effect), installed in
 /usr/lib/ffgl/ for video hosts that load FFGL plug-ins.
 .
 ffglhost loads any FFGL 1.x plug-in, feeds effects images, videos, test
 patterns or other plug-ins, renders headless to PNG files or video, previews in
 an X11 window, validates, and draws parameter sheets.")

set(CPACK_DEBIAN_DEVEL_PACKAGE_NAME libkx-dev)
set(CPACK_DEBIAN_DEVEL_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVEL_PACKAGE_DEPENDS
    "cmake (>= 3.25), g++, make | ninja-build, libgl-dev, libglu1-mesa-dev, libegl-dev, libtinyxml-dev, libgtest-dev")
set(CPACK_DEBIAN_DEVEL_PACKAGE_RECOMMENDS "quorus (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVEL_DESCRIPTION "KX framework kit for writing FFGL video effects
 The KX framework turns an FFGL 1.5 plug-in into an application object with
 typed parameters, XML save and restore, and a small OpenGL graphics layer.
 This package holds its headers, static libraries and CMake package:
 find_package(KX) then kx_add_ffgl_plugin(NAME SOURCES ...) builds a plug-in
 that exports plugMain alone. kx-new-effect --standalone DIR NAME starts a new
 effect project; KX::testing runs effect tests in a headless GL context.")

include(CPack)
