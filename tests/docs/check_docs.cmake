# cmake -DBUILD=<build dir> -DHEADERS=<include/zandrel> -P check_docs.cmake
set(html ${BUILD}/docs/html)
file(REMOVE_RECURSE ${html})
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target docs RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the docs target failed (${result})")
endif()

# <page>|<text it must show>: the file comment of every header, then a
# declaration's comment and a member's trailing comment.
file(GLOB headers ${HEADERS}/*.hpp)
set(expected)
foreach(header IN LISTS headers)
    file(STRINGS ${header} first LIMIT_COUNT 1)
    string(REGEX REPLACE "^// ([^,;(]*).*" "\\1" first "${first}")
    get_filename_component(name ${header} NAME_WE)
    list(APPEND expected "${name}_8hpp.html|${first}")
endforeach()
list(APPEND expected
    "graphics_8hpp.html|Seconds between the two latest Flips"
    "classzandrel_1_1TAudioSample.html|bytes owned, -1 for borrowed memory")

foreach(entry IN LISTS expected)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 page)
    list(GET entry 1 text)
    if(NOT EXISTS ${html}/${page})
        message(FATAL_ERROR "no page ${page}")
    endif()
    file(READ ${html}/${page} content)
    string(FIND "${content}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${page} does not show \"${text}\"")
    endif()
endforeach()
