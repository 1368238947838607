# Compares the dynamic symbols the library defines with the expected list, and
# the list with the functions the public header declares. Any other defined
# symbol, function or data, C or C++, is a leak: only the few names the linker
# itself may add are allowed.
cmake_minimum_required(VERSION 3.25)

set(linker_names _init _fini __bss_start _edata _end)

execute_process(COMMAND nm -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(found "")
foreach(line ${lines})
    if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
        message(FATAL_ERROR "unexpected nm output: ${line}")
    endif()
    set(kind ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    if(kind STREQUAL "T")
        list(APPEND found ${name})
    elseif(NOT name IN_LIST linker_names)
        list(APPEND found "${kind}:${name}")
    endif()
endforeach()

file(STRINGS ${EXPECTED} expected)

# Reports the difference between two lists in both directions.
function(compare_lists what left_name left right_name right)
    set(only_left ${left})
    set(only_right ${right})
    if(right)
        list(REMOVE_ITEM only_left ${right})
    endif()
    if(left)
        list(REMOVE_ITEM only_right ${left})
    endif()
    if(only_left OR only_right)
        list(JOIN only_left " " only_left)
        list(JOIN only_right " " only_right)
        message(FATAL_ERROR "${what} differ\n  only in ${left_name}: ${only_left}\n"
                            "  only in ${right_name}: ${only_right}")
    endif()
endfunction()

compare_lists("exported symbols" "${EXPECTED}" "${expected}" "the library" "${found}")

if(DEFINED HEADER)
    file(READ ${HEADER} header)
    string(REGEX MATCHALL "\nKELVADRA_API [^;(]*[ *]([A-Za-z_][A-Za-z0-9_]*) *\\(" decls "${header}")
    set(declared "")
    foreach(decl ${decls})
        string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*) *\\($" m "${decl}")
        list(APPEND declared ${CMAKE_MATCH_1})
    endforeach()
    compare_lists("declared functions" "${EXPECTED}" "${expected}" "${HEADER}" "${declared}")
endif()

list(LENGTH found n)
message(STATUS "${n} exported functions, as expected")
