# Module layering: a module sees another module's headers, public
# (<zandrel/x.hpp>) or shared private ("x/name.hpp" under src/), only when x is
# among the modules it uses, directly or through them. The check scans every
# source and private header in a module's folder and the module's public
# header, so files that no target lists yet are covered too.
#
# At configure time the build calls zandrel_check_layering(); the same file
# run as a script (cmake -DMODULE_LIST=<file> -DINCLUDE_DIR=<dir> -P) checks
# the modules that <file> registers, as the layering test does with a fixture.

if(CMAKE_SCRIPT_MODE_FILE)
    cmake_minimum_required(VERSION 3.22)
endif()

# zandrel_layering_register(<name> <source dir> [<used module>...])
function(zandrel_layering_register name dir)
    set_property(GLOBAL APPEND PROPERTY ZANDREL_LAYERING_MODULES ${name})
    set_property(GLOBAL PROPERTY ZANDREL_LAYERING_DIR_${name} ${dir})
    set_property(GLOBAL PROPERTY ZANDREL_LAYERING_USES_${name} ${ARGN})
endfunction()

# The modules `name` may see: itself and every module it uses, transitively.
function(_zandrel_layering_visible name out)
    set(visible ${name})
    set(pending ${name})
    while(pending)
        list(POP_FRONT pending module)
        get_property(uses GLOBAL PROPERTY ZANDREL_LAYERING_USES_${module})
        foreach(used IN LISTS uses)
            if(NOT used IN_LIST visible)
                list(APPEND visible ${used})
                list(APPEND pending ${used})
            endif()
        endforeach()
    endwhile()
    set(${out} ${visible} PARENT_SCOPE)
endfunction()

# The module a header include names, or nothing when it names none: <zandrel/x.hpp>
# gives x (even when x is no module, which is then reported), "x/..." gives x
# when x is a module.
function(_zandrel_included_module line modules out)
    set(found "")
    if(line MATCHES "<zandrel/([A-Za-z0-9_]+)\\.hpp>")
        set(found ${CMAKE_MATCH_1})
    elseif(line MATCHES "\"([A-Za-z0-9_]+)/[^\"]*\"")
        if(CMAKE_MATCH_1 IN_LIST modules)
            set(found ${CMAKE_MATCH_1})
        endif()
    endif()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The files of a module that the check reads.
function(_zandrel_layering_files module include_dir out)
    get_property(dir GLOBAL PROPERTY ZANDREL_LAYERING_DIR_${module})
    file(GLOB_RECURSE files ${dir}/*.cpp ${dir}/*.hpp ${dir}/*.c ${dir}/*.h)
    if(EXISTS ${include_dir}/zandrel/${module}.hpp)
        list(APPEND files ${include_dir}/zandrel/${module}.hpp)
    endif()
    list(SORT files)
    set(${out} ${files} PARENT_SCOPE)
endfunction()

# zandrel_layering_violations(<out> <public include dir>): one entry per
# include that breaks the layering, "<file>: <include line>".
function(zandrel_layering_violations out include_dir)
    get_property(modules GLOBAL PROPERTY ZANDREL_LAYERING_MODULES)
    set(violations "")
    foreach(module IN LISTS modules)
        _zandrel_layering_visible(${module} visible)
        _zandrel_layering_files(${module} ${include_dir} files)
        foreach(file IN LISTS files)
            file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
            foreach(line IN LISTS includes)
                _zandrel_included_module("${line}" "${modules}" included)
                if(included AND NOT included IN_LIST visible)
                    string(STRIP "${line}" line)
                    list(APPEND violations "${file}: ${line}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(${out} ${violations} PARENT_SCOPE)
endfunction()

function(zandrel_check_layering include_dir)
    zandrel_layering_violations(violations ${include_dir})
    if(violations)
        list(JOIN violations "\n  " text)
        message(FATAL_ERROR "Module layering violated: a module includes a header of a module "
            "outside its USES (or above it):\n  ${text}\n"
            "Add the module to USES in its CMakeLists.txt if it belongs below, or move the code.")
    endif()
endfunction()

# zandrel_layering_build_check(<public include dir> <target>...): checks again
# at build time whenever a scanned file changes, before the targets build, so
# an include added after configuring fails the build too.
function(zandrel_layering_build_check include_dir)
    get_property(modules GLOBAL PROPERTY ZANDREL_LAYERING_MODULES)
    set(list_file ${PROJECT_BINARY_DIR}/zandrel_layering_modules.cmake)
    set(text "")
    set(all_files "")
    foreach(module IN LISTS modules)
        get_property(dir GLOBAL PROPERTY ZANDREL_LAYERING_DIR_${module})
        get_property(uses GLOBAL PROPERTY ZANDREL_LAYERING_USES_${module})
        string(APPEND text "zandrel_layering_register(${module} \"${dir}\" ${uses})\n")
        _zandrel_layering_files(${module} ${include_dir} files)
        list(APPEND all_files ${files})
    endforeach()
    file(WRITE ${list_file} "${text}")
    set(stamp ${PROJECT_BINARY_DIR}/zandrel_layering.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DMODULE_LIST=${list_file} -DINCLUDE_DIR=${include_dir}
                -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${all_files} ${list_file} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMENT "Checking the module layering")
    add_custom_target(zandrel_layering DEPENDS ${stamp})
    foreach(target IN LISTS ARGN)
        add_dependencies(${target} zandrel_layering)
    endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    include(${MODULE_LIST})
    zandrel_check_layering(${INCLUDE_DIR})
endif()
