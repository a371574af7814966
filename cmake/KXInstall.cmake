# What `cmake --install <build> --prefix <P>` puts where (included at the end of the top-level
# CMakeLists.txt, after every target exists):
#
#   component runtime: P/bin/ffglhost and every effect plug-in in P/lib/ffgl/
#   component devel:   the framework kit
#     P/include/KX/                    the framework's headers (one flat folder)
#     P/<libdir>/libkxapi.a            the framework (KX::kxapi)
#     P/<libdir>/libkxtesting.a        headless GL context and GoogleTest fixture (KX::testing)
#     P/include/KX/testing/            their headers
#     P/<libdir>/cmake/KX/             KXConfig.cmake and friends: find_package(KX CONFIG)
#     P/bin/kx-new-effect              scripts/new-effect.sh --standalone, with its templates in
#     P/share/kx/templates/effect/
#
# <libdir> is GNUInstallDirs' (lib, or lib/<multiarch> under /usr on Debian).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KX)
set(KX_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/KX)

# The host.
install(TARGETS ffglhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
# (Plug-ins install themselves: kx_add_ffgl_plugin.)

# The framework.
target_include_directories(kxapi PUBLIC "$<INSTALL_INTERFACE:${KX_INSTALL_INCLUDEDIR}>")
file(GLOB_RECURSE KXAPI_HEADERS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/common/kxapi/*.h
  ${CMAKE_SOURCE_DIR}/Source/Common/*.h)
install(FILES ${KXAPI_HEADERS} DESTINATION ${KX_INSTALL_INCLUDEDIR} COMPONENT devel)
install(TARGETS kxapi EXPORT KXTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT devel)

# Effect tests outside this tree: the headless context and the fixture our own GL tests use,
# built once more from the same sources as a library of their own.
set(KX_TESTING_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/headless/HeadlessGL.cpp
  ${CMAKE_SOURCE_DIR}/tools/headless/Framebuffer.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/GLTestFixture.cpp)
set(KX_TESTING_HEADERS
  ${CMAKE_SOURCE_DIR}/tools/headless/HeadlessGL.h
  ${CMAKE_SOURCE_DIR}/tests/support/GLTestFixture.h)
add_library(kxtesting STATIC ${KX_TESTING_SOURCES})
target_include_directories(kxtesting PUBLIC
  "$<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/tools/headless;${CMAKE_SOURCE_DIR}/tests/support>"
  "$<INSTALL_INTERFACE:${KX_INSTALL_INCLUDEDIR}/testing>")
target_compile_definitions(kxtesting PRIVATE GL_GLEXT_PROTOTYPES)
target_link_libraries(kxtesting PUBLIC KX::kxapi OpenGL::EGL OpenGL::GL GTest::gtest)
set_target_properties(kxtesting PROPERTIES EXPORT_NAME testing)
install(FILES ${KX_TESTING_HEADERS} DESTINATION ${KX_INSTALL_INCLUDEDIR}/testing COMPONENT devel)
install(TARGETS kxtesting EXPORT KXTestingTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT devel)

# Two export sets: the package loads the testing one only where GoogleTest and EGL are found.
install(EXPORT KXTargets NAMESPACE KX:: DESTINATION ${KX_INSTALL_CMAKEDIR} COMPONENT devel)
install(EXPORT KXTestingTargets NAMESPACE KX:: DESTINATION ${KX_INSTALL_CMAKEDIR} COMPONENT devel)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/KXConfig.cmake.in
  ${CMAKE_BINARY_DIR}/kx-package/KXConfig.cmake
  INSTALL_DESTINATION ${KX_INSTALL_CMAKEDIR}
  PATH_VARS CMAKE_INSTALL_BINDIR KX_PLUGIN_INSTALL_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kx-package/KXConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_BINARY_DIR}/kx-package/KXConfig.cmake
  ${CMAKE_BINARY_DIR}/kx-package/KXConfigVersion.cmake
  ${CMAKE_SOURCE_DIR}/cmake/KXTinyXML.cmake
  ${CMAKE_SOURCE_DIR}/cmake/KxPlugin.cmake
  ${CMAKE_SOURCE_DIR}/cmake/plugin-exports.map
  DESTINATION ${KX_INSTALL_CMAKEDIR} COMPONENT devel)

# The effect generator for projects of their own.
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/new-effect.sh DESTINATION ${CMAKE_INSTALL_BINDIR}
  RENAME kx-new-effect COMPONENT devel)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/templates/effect/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kx/templates/effect
  COMPONENT devel)
