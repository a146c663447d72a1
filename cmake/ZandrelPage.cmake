# Programs as pages, for Zandrel's own browser build and for a program built
# against the installed browser package (ZandrelConfig.cmake includes this).
# Before it: ZANDREL_WEB_FILES, the folder of the page's template, script and
# style sheet; ZANDREL_WEB_SITE, the folder to serve; ZANDREL_WEB_PAGE_LIBS,
# libraries every page links besides its own.

# emcc runs its JavaScript optimiser under Node.js, which finds Debian's acorn
# module only where NODE_PATH points: each page is linked with it set.
set(ZANDREL_NODE_MODULES "")
foreach(folder /usr/share/nodejs /usr/lib/nodejs)
    if(EXISTS ${folder}/acorn/package.json)
        set(ZANDREL_NODE_MODULES ${folder})
        break()
    endif()
endforeach()

# zandrel_web_page(<target> <name> [TITLE <text>] [WAITS_FOR_SOUND] [UNLISTED]
#                  [DATA <file>@<name in the page>...]):
# links the program as site/<name>/<name>.js and .wasm beside the page that
# runs it, site/<name>/index.html. DATA files are preloaded into the page's
# file system, so the program opens them by name from its working folder.
# Flip, Delay and the event pump hand the thread to the page (Asyncify).
# WAITS_FOR_SOUND: the program starts once the page may play sound.
# UNLISTED: the site's index does not link to it (a page that tests load).
function(zandrel_web_page target name)
    cmake_parse_arguments(P "WAITS_FOR_SOUND;UNLISTED" "TITLE" "DATA" ${ARGN})
    get_property(web GLOBAL PROPERTY ZANDREL_WEB_FILES)
    get_property(site GLOBAL PROPERTY ZANDREL_WEB_SITE)
    set(folder ${site}/${name})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} SUFFIX .js
        RUNTIME_OUTPUT_DIRECTORY ${folder})
    target_link_options(${target} PRIVATE
        -sASYNCIFY -sASYNCIFY_STACK_SIZE=131072 -sALLOW_MEMORY_GROWTH=1
        -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sEXIT_RUNTIME=1 -sENVIRONMENT=web
        -sFORCE_FILESYSTEM=1 -lidbfs.js
        "-sEXPORTED_RUNTIME_METHODS=['FS','addRunDependency','removeRunDependency']"
        -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${web}/library_functions.json
        --js-library ${web}/fixed_function_gl.js)
    target_link_libraries(${target} PRIVATE ${ZANDREL_WEB_PAGE_LIBS})
    if(ZANDREL_NODE_MODULES)
        set_target_properties(${target} PROPERTIES
            RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env NODE_PATH=${ZANDREL_NODE_MODULES}")
    endif()
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
    configure_file(${web}/page.html.in ${folder}/index.html @ONLY)
    if(NOT P_UNLISTED)
        set_property(GLOBAL APPEND PROPERTY ZANDREL_WEB_PAGES "${name}|${P_TITLE}")
    endif()
endfunction()

# zandrel_add_page(<target> [NAME <name>] [TITLE <text>] [WAITS_FOR_SOUND]
#                  [ASSETS <file>...]):
# makes the program <target> (an add_executable of yours) a page of the site,
# site/<name>/ (the target's name unless NAME is given), linked with Zandrel.
# The ASSETS (paths from the current source folder) are preloaded into the
# page's working folder under their file names, where the program opens them.
function(zandrel_add_page target)
    cmake_parse_arguments(P "WAITS_FOR_SOUND" "NAME;TITLE" "ASSETS" ${ARGN})
    if(NOT P_NAME)
        set(P_NAME ${target})
    endif()
    target_link_libraries(${target} PRIVATE Zandrel::zandrel)
    set(options "")
    if(P_WAITS_FOR_SOUND)
        list(APPEND options WAITS_FOR_SOUND)
    endif()
    if(P_TITLE)
        list(APPEND options TITLE "${P_TITLE}")
    endif()
    foreach(asset IN LISTS P_ASSETS)
        get_filename_component(path ${asset} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
        if(NOT EXISTS ${path})
            message(FATAL_ERROR "zandrel_add_page(${target}): no asset ${path}")
        endif()
        get_filename_component(file ${asset} NAME)
        list(APPEND options DATA ${path}@/${file})
    endforeach()
    zandrel_web_page(${target} ${P_NAME} ${options})
endfunction()

# Writes site/index.html with a link to every page. It runs once the
# top-level folder has been read, so a page added after this file, by this
# project or one that adds Zandrel as a subfolder, is listed too; the deferred
# call runs in that folder's scope, so the paths come from global properties.
set_property(GLOBAL PROPERTY ZANDREL_WEB_FILES ${ZANDREL_WEB_FILES})
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
get_property(deferred GLOBAL PROPERTY ZANDREL_WEB_SITE_DEFERRED)
if(NOT deferred)
    set_property(GLOBAL PROPERTY ZANDREL_WEB_SITE_DEFERRED TRUE)
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL zandrel_web_site)
endif()
