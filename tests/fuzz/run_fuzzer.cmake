# Runs a fuzzer for SECONDS. Given CLANGXX (and SOURCE, BUILD, NAME) it first builds the fuzzer
# NAME with clang in a sub-build; given FUZZER it runs that one. Without clang it passes.

if(NOT FUZZER)
    if(NOT CLANGXX)
        message(STATUS "clang++ not found: fuzzing skipped")
        return()
    endif()
    execute_process(
        COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BUILD} -DCMAKE_CXX_COMPILER=${CLANGXX}
                -DCMAKE_BUILD_TYPE=RelWithDebInfo
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "configuring the fuzzer with ${CLANGXX} failed")
    endif()
    if(NOT NAME)
        set(NAME tile_list_fuzzer)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target ${NAME}
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "building the fuzzer with ${CLANGXX} failed")
    endif()
    set(FUZZER ${BUILD}/${NAME})
endif()

# New inputs go to a corpus in the build tree; the committed seeds are only read.
file(MAKE_DIRECTORY ${WORK})
execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1 ${WORK} ${SEEDS}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} found a failing input (exit ${result})")
endif()
