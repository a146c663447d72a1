include(CMakePackageConfigHelpers)

install(TARGETS zandrel EXPORT ZandrelTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zandrel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(ZANDREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zandrel)
install(EXPORT ZandrelTargets NAMESPACE Zandrel:: DESTINATION ${ZANDREL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZandrelConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZandrelConfig.cmake INSTALL_DESTINATION ${ZANDREL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZandrelConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZandrelConfig.cmake
    ${PROJECT_BINARY_DIR}/ZandrelConfigVersion.cmake DESTINATION ${ZANDREL_CMAKE_DIR})

# The pkg-config file finds its prefix from where it lies, so an install moved
# or made with --prefix still works.
file(RELATIVE_PATH ZANDREL_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zandrel.pc.in ${PROJECT_BINARY_DIR}/zandrel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zandrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
