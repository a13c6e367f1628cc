# Builds each of TARGETS in BUILD_DIR, every one of which must fail, and counts the matches of EXPECT
# in their errors: exactly COUNT of them must. See orvalink_add_compile_check.
#
#   cmake -DBUILD_DIR=<build> -DTARGETS=<a;b> -DEXPECT=<regex> -DCOUNT=<n> -P ExpectCompileErrors.cmake
cmake_minimum_required(VERSION 3.25)

set(found 0)
foreach(target IN LISTS TARGETS)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
  if(result EQUAL 0)
    message(FATAL_ERROR "${target} compiled, but must not:\n${output}")
  endif()
  # A compiler may wrap a long message over lines.
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${output}")
  string(REGEX MATCHALL "${EXPECT}" matches "${flat}")
  list(LENGTH matches count)
  math(EXPR found "${found} + ${count}")
  message(STATUS "${target}: ${count} error(s) matching \"${EXPECT}\"")
endforeach()
if(NOT found EQUAL COUNT)
  message(FATAL_ERROR "${found} error(s) match \"${EXPECT}\", ${COUNT} expected:\n${output}")
endif()
