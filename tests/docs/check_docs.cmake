# cmake -DBUILD=<build dir> -DHEADERS=<include/zandrel> -DDOXYGEN=<doxygen> -P check_docs.cmake
if(NOT EXISTS "${DOXYGEN}")
    message(FATAL_ERROR "doxygen not found: install it (scripts/install-deps.sh) and configure again")
endif()
set(html ${BUILD}/docs/html)
file(REMOVE_RECURSE ${html})
# Strict whatever the build chose: a build with ZANDREL_DOCS_STRICT off runs
# Doxygen here on a strict copy of its Doxyfile.
file(READ ${BUILD}/docs/Doxyfile doxyfile)
if(doxyfile MATCHES "WARN_IF_UNDOCUMENTED *= *YES")
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target docs RESULT_VARIABLE result)
else()
    string(REGEX REPLACE "EXTRACT_ALL *= *YES" "EXTRACT_ALL = NO" doxyfile "${doxyfile}")
    string(REGEX REPLACE "WARN_IF_UNDOCUMENTED *= *NO" "WARN_IF_UNDOCUMENTED = YES" doxyfile
                         "${doxyfile}")
    file(WRITE ${BUILD}/docs/Doxyfile.strict "${doxyfile}")
    execute_process(COMMAND ${DOXYGEN} ${BUILD}/docs/Doxyfile.strict
                    WORKING_DIRECTORY ${BUILD}/docs RESULT_VARIABLE result)
endif()
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the API reference did not build cleanly (${result})")
endif()

# <page>|<text it must show>|<least times>[|<most times>]: the file comment
# of every header, a declaration's comment, a member's trailing comment, and
# the own words of two members that once shared one comment, neither of them
# showing the other's (brief and details of one member: twice at most), the
# names of one declaration sharing its comment, and the driver classes in a
# section of their own that the front page links.
file(GLOB headers ${HEADERS}/*.hpp)
set(expected)
foreach(header IN LISTS headers)
    file(STRINGS ${header} first LIMIT_COUNT 1)
    string(REGEX REPLACE "^// ([^,;(]*).*" "\\1" first "${first}")
    get_filename_component(name ${header} NAME_WE)
    list(APPEND expected "${name}_8hpp.html|${first}|1")
endforeach()
list(APPEND expected
    "graphics_8hpp.html|Seconds between the two latest Flips|1"
    "classzandrel_1_1TAudioSample.html|bytes owned, -1 for borrowed memory|1"
    "classzandrel_1_1TAudioSample.html|An owning copy of the same frames|1|2"
    "classzandrel_1_1TAudioSample.html|An owning copy of the frames converted to|1|2"
    "classzandrel_1_1TImage.html|Size in pixels|2"
    "group__drivers.html|zandrel::TGraphicsDriver|1"
    "index.html|group__drivers.html|1")

foreach(entry IN LISTS expected)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 page)
    list(GET entry 1 text)
    list(GET entry 2 times)
    list(LENGTH entry fields)
    if(fields GREATER 3)
        list(GET entry 3 most)
    else()
        set(most 1000000)
    endif()
    if(NOT EXISTS ${html}/${page})
        message(FATAL_ERROR "no page ${page}")
    endif()
    file(READ ${html}/${page} content)
    set(found 0)
    string(FIND "${content}" "${text}" at)
    while(at GREATER -1)
        math(EXPR found "${found} + 1")
        string(LENGTH "${text}" length)
        math(EXPR at "${at} + ${length}")
        string(SUBSTRING "${content}" ${at} -1 content)
        string(FIND "${content}" "${text}" at)
    endwhile()
    if(found LESS times OR found GREATER most)
        message(FATAL_ERROR "${page} shows \"${text}\" ${found} times, not ${times} to ${most}")
    endif()
endforeach()
