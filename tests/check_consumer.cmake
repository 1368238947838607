# Installs the build into a scratch prefix, then builds and runs a small C
# program against it twice: through find_package(kelvadra) and through
# pkg-config (a missing installed file fails one of the two). The scratch
# directory is removed afterwards.
cmake_minimum_required(VERSION 3.25)

if(NOT WORK_DIR OR NOT BUILD_DIR OR NOT CONSUMER_DIR)
    message(FATAL_ERROR "BUILD_DIR, CONSUMER_DIR and WORK_DIR must be set")
endif()
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run_step what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        file(REMOVE_RECURSE ${WORK_DIR})
        message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
    endif()
    set(step_output "${out}" PARENT_SCOPE)
endfunction()

# Empty DESTDIR: a DESTDIR in the caller's environment would put the files elsewhere.
run_step("cmake --install" ${CMAKE_COMMAND} -E env --unset=DESTDIR
         ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# 1. The CMake package. Only the scratch prefix is searched, so a copy
#    installed elsewhere on the machine cannot stand in for it.
run_step("configuring the CMake consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR}
         -B ${WORK_DIR}/cmake-build -G ${GENERATOR} -DCMAKE_C_COMPILER=${C_COMPILER}
         -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix}
         -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
         -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF)
run_step("building the CMake consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run_step("running the CMake consumer" ${WORK_DIR}/cmake-build/consumer)
message(STATUS "find_package consumer: ${step_output}")

# 2. pkg-config, with only the scratch prefix on its path.
find_program(PKG_CONFIG pkg-config REQUIRED)
run_step("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${prefix}/${LIBDIR}/pkgconfig
         ${PKG_CONFIG} --cflags --libs kelvadra)
string(STRIP "${step_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run_step("building the pkg-config consumer" ${C_COMPILER} -std=c99 -Wall -Wextra -pedantic
         -Werror -Wstrict-prototypes ${CONSUMER_DIR}/consumer.c ${flags} -lm
         -o ${WORK_DIR}/consumer-pc)
run_step("running the pkg-config consumer" ${CMAKE_COMMAND} -E env
         LD_LIBRARY_PATH=${prefix}/${LIBDIR} ${WORK_DIR}/consumer-pc)
message(STATUS "pkg-config consumer: ${step_output}")

file(REMOVE_RECURSE ${WORK_DIR})
