# One object library per module, all linked into the one libzandrel.

set(ZANDREL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResource.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/ZandrelLayering.cmake)

# zandrel_add_module(<name> SOURCES ... [USES <modules>...] [LIBS <libraries>...])
# USES lists the modules below this one whose headers it includes: public ones
# as <zandrel/x.hpp>, private ones they share as "x/name.hpp". Nothing else of
# another module is visible (ZandrelLayering.cmake).
function(zandrel_add_module name)
    cmake_parse_arguments(M "" "" "SOURCES;USES;LIBS" ${ARGN})
    set(target zandrel_${name})
    add_library(${target} OBJECT ${M_SOURCES})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_include_directories(${target}
        PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
        PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src)
    foreach(used IN LISTS M_USES)
        target_link_libraries(${target} PUBLIC zandrel_${used})
    endforeach()
    if(M_LIBS)
        target_link_libraries(${target} PUBLIC ${M_LIBS})
    endif()
    set_property(GLOBAL APPEND PROPERTY ZANDREL_MODULES ${target})
    zandrel_layering_register(${name} ${CMAKE_CURRENT_SOURCE_DIR} ${M_USES})
endfunction()

# Makes libzandrel from every module added so far, once their layering holds.
function(zandrel_link_library)
    zandrel_check_layering(${PROJECT_SOURCE_DIR}/include)
    get_property(modules GLOBAL PROPERTY ZANDREL_MODULES)
    zandrel_layering_build_check(${PROJECT_SOURCE_DIR}/include ${modules})
    # A page links everything into its one WebAssembly module.
    if(ZANDREL_PLATFORM STREQUAL "web")
        add_library(zandrel STATIC)
    else()
        add_library(zandrel SHARED)
    endif()
    add_library(Zandrel::zandrel ALIAS zandrel)
    set_target_properties(zandrel PROPERTIES
        VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    target_link_libraries(zandrel PRIVATE ${modules})
    target_include_directories(zandrel PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_compile_features(zandrel PUBLIC cxx_std_20)
endfunction()

# zandrel_embed_resource(<target> <symbol> <file>): puts the file's bytes into
# the target as zandrel::embedded::<symbol> and <symbol>_size.
function(zandrel_embed_resource target symbol file)
    get_filename_component(input ${file} ABSOLUTE)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
                -P ${ZANDREL_EMBED_SCRIPT}
        DEPENDS ${input} ${ZANDREL_EMBED_SCRIPT}
        COMMENT "Embedding ${file}")
    target_sources(${target} PRIVATE ${output})
endfunction()
