# Compares the dynamic symbols the library defines with the expected list, and
# the list with the functions the public header declares. Any other defined
# symbol, function or data, C or C++, is a leak: only the few names the linker
# itself may add are allowed.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(found "")
foreach(line ${lines})
    if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
        message(FATAL_ERROR "unexpected nm output: ${line}")
    elseif(CMAKE_MATCH_1 STREQUAL "T")
        list(APPEND found ${CMAKE_MATCH_2})
    elseif(NOT CMAKE_MATCH_2 MATCHES "^(_init|_fini|__bss_start|_edata|_end)$")
        list(APPEND found "${CMAKE_MATCH_1}:${CMAKE_MATCH_2}")
    endif()
endforeach()
file(STRINGS ${EXPECTED} expected)

# Reports the difference between two lists in both directions.
function(compare_lists what left_name left right_name right)
    set(only_left ${left})
    set(only_right ${right})
    list(REMOVE_ITEM only_left ${right})
    list(REMOVE_ITEM only_right ${left})
    if(only_left OR only_right)
        list(JOIN only_left " " only_left)
        list(JOIN only_right " " only_right)
        message(FATAL_ERROR "${what} differ\n  only in ${left_name}: ${only_left}\n"
                            "  only in ${right_name}: ${only_right}")
    endif()
endfunction()

compare_lists("exported symbols" "${EXPECTED}" "${expected}" "the library" "${found}")
file(READ ${HEADER} header)
string(REGEX MATCHALL "\nKELVADRA_API [^;(]*[ *]([A-Za-z_][A-Za-z0-9_]*) *\\(" decls "${header}")
set(declared "")
foreach(decl ${decls})
    string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*) *\\($" m "${decl}")
    list(APPEND declared ${CMAKE_MATCH_1})
endforeach()
compare_lists("declared functions" "${EXPECTED}" "${expected}" "${HEADER}" "${declared}")
list(LENGTH found n)
message(STATUS "${n} exported functions, as expected")
