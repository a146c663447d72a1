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
set(ZANDREL_WEB_PAGE_TEMPLATE ${PROJECT_SOURCE_DIR}/web/page.html.in)

# zandrel_web_page(<target> <name> [TITLE <text>] [WAITS_FOR_SOUND]
#                  [DATA <file>@<name in the page>...]):
# links the program as site/<name>/<name>.js and .wasm beside the page that
# runs it, site/<name>/index.html. DATA files are preloaded into the page's
# file system, so the program opens them by name from its working folder.
# Flip, Delay and the event pump hand the thread to the page (Asyncify).
# WAITS_FOR_SOUND: the program starts once the page may play sound.
function(zandrel_web_page target name)
    cmake_parse_arguments(P "WAITS_FOR_SOUND" "TITLE" "DATA" ${ARGN})
    set(folder ${ZANDREL_WEB_SITE}/${name})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} SUFFIX .js
        RUNTIME_OUTPUT_DIRECTORY ${folder})
    target_link_options(${target} PRIVATE
        -sASYNCIFY -sASYNCIFY_STACK_SIZE=131072 -sALLOW_MEMORY_GROWTH=1
        -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sEXIT_RUNTIME=1 -sENVIRONMENT=web
        -sFORCE_FILESYSTEM=1 -lidbfs.js
        "-sEXPORTED_RUNTIME_METHODS=['FS','addRunDependency','removeRunDependency']"
        -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${PROJECT_SOURCE_DIR}/web/library_functions.json
        --js-library ${PROJECT_SOURCE_DIR}/web/fixed_function_gl.js)
    # A static vorbisfile needs the libraries under it named as well.
    target_link_libraries(${target} PRIVATE
        ${ZANDREL_WEB_DEPS}/lib/libvorbis.a ${ZANDREL_WEB_DEPS}/lib/libogg.a)
    foreach(file IN LISTS P_DATA)
        target_link_options(${target} PRIVATE "SHELL:--preload-file ${file}")
    endforeach()
    if(NOT P_TITLE)
        set(P_TITLE ${name})
    endif()
    set(ZANDREL_PAGE_NAME ${name})
    set(ZANDREL_PAGE_TITLE ${P_TITLE})
    set(ZANDREL_PAGE_BODY "")
    if(P_WAITS_FOR_SOUND)
        set(ZANDREL_PAGE_BODY " data-waits-for-sound")
    endif()
    configure_file(${ZANDREL_WEB_PAGE_TEMPLATE} ${folder}/index.html @ONLY)
    set_property(GLOBAL APPEND PROPERTY ZANDREL_WEB_PAGES "${name}|${P_TITLE}")
endfunction()

# Writes site/index.html with a link to every page. It runs once the
# top-level folder has been read, so a page added after this file, by this
# project or one that adds Zandrel as a subfolder, is listed too; the deferred
# call runs in that folder's scope, so the paths come from global properties.
set_property(GLOBAL PROPERTY ZANDREL_WEB_FILES ${PROJECT_SOURCE_DIR}/web)
set_property(GLOBAL PROPERTY ZANDREL_WEB_SITE ${ZANDREL_WEB_SITE})
function(zandrel_web_site)
    get_property(web GLOBAL PROPERTY ZANDREL_WEB_FILES)
    get_property(site GLOBAL PROPERTY ZANDREL_WEB_SITE)
    get_property(pages GLOBAL PROPERTY ZANDREL_WEB_PAGES)
    set(ZANDREL_PAGE_LINKS "")
    foreach(page IN LISTS pages)
        string(REPLACE "|" ";" parts "${page}")
        list(GET parts 0 name)
        list(GET parts 1 title)
        string(APPEND ZANDREL_PAGE_LINKS
            "      <li><a href=\"${name}/\">${name}</a>: ${title}</li>\n")
    endforeach()
    configure_file(${web}/index.html.in ${site}/index.html @ONLY)
    foreach(file zandrel-page.js zandrel.css)
        configure_file(${web}/${file} ${site}/${file} COPYONLY)
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL zandrel_web_site)
