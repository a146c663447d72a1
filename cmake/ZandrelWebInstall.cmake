# The browser build's package: `cmake --install build-web --prefix P` (or
# scripts/web.sh --install P) puts the library, its headers, the C libraries
# it links, the page's files and a CMake package under P, so that a program's
# own project makes its pages with find_package(Zandrel) and zandrel_add_page.
include(CMakePackageConfigHelpers)

install(TARGETS zandrel ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zandrel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The C libraries, in the order a linker that reads them once would need.
set(ZANDREL_WEB_INSTALLED_LIBS libSDL2.a libfreetype.a libpng16.a libjpeg.a libvorbisfile.a
    libvorbis.a libogg.a libFLAC.a libmpg123.a libz.a)
set(ZANDREL_WEB_LIBS_DIR ${CMAKE_INSTALL_LIBDIR}/zandrel)
list(TRANSFORM ZANDREL_WEB_INSTALLED_LIBS PREPEND ${ZANDREL_WEB_DEPS}/lib/ OUTPUT_VARIABLE libs)
install(FILES ${libs} DESTINATION ${ZANDREL_WEB_LIBS_DIR})

set(ZANDREL_WEB_FILES_DIR ${CMAKE_INSTALL_DATADIR}/zandrel/web)
install(FILES ${PROJECT_SOURCE_DIR}/web/page.html.in ${PROJECT_SOURCE_DIR}/web/index.html.in
    ${PROJECT_SOURCE_DIR}/web/zandrel-page.js ${PROJECT_SOURCE_DIR}/web/zandrel.css
    ${PROJECT_SOURCE_DIR}/web/library_functions.json ${PROJECT_SOURCE_DIR}/web/fixed_function_gl.js
    DESTINATION ${ZANDREL_WEB_FILES_DIR})

set(ZANDREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zandrel)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZandrelWebConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZandrelConfig.cmake INSTALL_DESTINATION ${ZANDREL_CMAKE_DIR}
    PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR ZANDREL_WEB_LIBS_DIR
              ZANDREL_WEB_FILES_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZandrelConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZandrelConfig.cmake
    ${PROJECT_BINARY_DIR}/ZandrelConfigVersion.cmake ${PROJECT_SOURCE_DIR}/cmake/ZandrelPage.cmake
    DESTINATION ${ZANDREL_CMAKE_DIR})
