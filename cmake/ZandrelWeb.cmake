# The browser build (ZANDREL_PLATFORM=web, under Emscripten): the library on
# WebGL 2 and the libraries that scripts/web-deps.sh builds into
# ZANDREL_WEB_DEPS, and each program as a page of site/ in the build folder.
# Nothing here runs on this machine, so tests, benchmarks, fuzzers and tools
# are left out.
set(ZANDREL_WEB_DEPS ${PROJECT_BINARY_DIR}/deps CACHE PATH
    "Prefix of the C libraries built for WebAssembly")
set(ZANDREL_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(ZANDREL_BUILD_BENCHMARKS OFF CACHE BOOL "" FORCE)
set(ZANDREL_BUILD_FUZZERS OFF CACHE BOOL "" FORCE)

# Ahead of Emscripten's own system root, whose SDL2 package is its port's.
list(PREPEND CMAKE_FIND_ROOT_PATH ${ZANDREL_WEB_DEPS})
set(SDL2_DIR ${ZANDREL_WEB_DEPS}/lib/cmake/SDL2 CACHE PATH "SDL2 built for WebAssembly" FORCE)
# Before Emscripten's own FindOpenGL, which makes no target.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/web)
set(ENV{PKG_CONFIG_LIBDIR} ${ZANDREL_WEB_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The run-time errors are C++ exceptions.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

# SDL's static build names its target SDL2::SDL2-static, with SDL2::SDL2 for
# it; the library target links the modules from here, so it is made global.
find_package(SDL2 REQUIRED CONFIG)
set_target_properties(SDL2::SDL2-static PROPERTIES IMPORTED_GLOBAL TRUE)

set(ZANDREL_WEB_SITE ${PROJECT_BINARY_DIR}/site)
set(ZANDREL_WEB_FILES ${PROJECT_SOURCE_DIR}/web)
# A static vorbisfile needs the libraries under it named as well.
set(ZANDREL_WEB_PAGE_LIBS ${ZANDREL_WEB_DEPS}/lib/libvorbis.a ${ZANDREL_WEB_DEPS}/lib/libogg.a)
include(${CMAKE_CURRENT_LIST_DIR}/ZandrelPage.cmake)
