# cmake -DLAYERING=<ZandrelLayering.cmake> -DFIXTURE=<fixture dir> -P check_fixture.cmake
# Modules a; b uses a; c uses b; d uses a. The fixture's files hold allowed
# includes beside exactly the violations listed below; the check must find
# those and no others, then fail.
include(${LAYERING})

zandrel_layering_register(a ${FIXTURE}/src/a)
zandrel_layering_register(b ${FIXTURE}/src/b a)
zandrel_layering_register(c ${FIXTURE}/src/c b)
zandrel_layering_register(d ${FIXTURE}/src/d a)

set(expected
    "include/zandrel/a.hpp: #include <zandrel/b.hpp>"  # public header reaching up
    "src/a/future.cpp: #include <zandrel/net.hpp>"     # no such module
    "src/d/everything.cpp: #include <zandrel/zandrel.hpp>"
    "src/d/sibling.cpp: #  include \"b/shared.hpp\"")   # a private header beside, not below

zandrel_layering_violations(found ${FIXTURE}/include)
list(TRANSFORM found REPLACE "^${FIXTURE}/" "")
list(SORT found)
if(NOT found STREQUAL expected)
    list(JOIN found "\n  " text)
    message(FATAL_ERROR "Fixture violations differ from the expected ones; found:\n  ${text}")
endif()
zandrel_check_layering(${FIXTURE}/include)
message(FATAL_ERROR "The check passed a fixture that breaks the layering")
