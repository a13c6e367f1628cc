# What the tests of the include checkers share: a fresh folder below WORK_DIR for their crafted
# trees (runs side by side never share a tree), the verdict on one run of the checker, and the
# closing report. Included by a test script run as
#
#   cmake -DCHECKER=<checker script> -DWORK_DIR=<scratch folder> -P <test script>
cmake_minimum_required(VERSION 3.25)

if(NOT CHECKER OR NOT WORK_DIR)
    message(FATAL_ERROR "pass -DCHECKER=<checker script> -DWORK_DIR=<scratch folder>")
endif()
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND mktemp -d "${WORK_DIR}/run-XXXXXX" OUTPUT_VARIABLE runDir
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(failures "")

# run_checker(<case> <expected: pass | fail> [EXPECT <text>...] ARGS <-D argument>...)
# Runs the checker and notes in `failures` where its verdict or its output is not the one expected.
# CMake wraps a long error, so the texts are looked for with their white space folded.
function(run_checker name expected)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "EXPECT;ARGS")
    execute_process(COMMAND ${CMAKE_COMMAND} ${arg_ARGS} -P ${CHECKER}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(expected STREQUAL "pass" AND NOT result EQUAL 0)
        list(APPEND failures "${name}: failed, expected to pass:\n${output}")
    elseif(expected STREQUAL "fail" AND result EQUAL 0)
        list(APPEND failures "${name}: passed, expected to fail:\n${output}")
    endif()
    string(REGEX REPLACE "[ \t\n]+" " " folded "${output}")
    foreach(text IN LISTS arg_EXPECT)
        string(FIND "${folded}" "${text}" at)
        if(at EQUAL -1)
            list(APPEND failures "${name}: the output lacks \"${text}\":\n${output}")
        endif()
    endforeach()
    set(failures "${failures}" PARENT_SCOPE)
endfunction()

# close_checker_test(<what a pass says>): fails with every case that went wrong, if any.
function(close_checker_test passed)
    file(REMOVE_RECURSE "${runDir}")
    if(NOT failures STREQUAL "")
        list(JOIN failures "\n" report)
        message(FATAL_ERROR "${report}")
    endif()
    message(STATUS "${passed}")
endfunction()
