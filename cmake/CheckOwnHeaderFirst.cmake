# Fails when a source with a header of its name beside it does not include that header first.
#
#   cmake -DSOURCE_DIR=<folder holding src/ and tests/> -P CheckOwnHeaderFirst.cmake
#
# A build that compiles file by file sees a header that misses an include only where nothing
# before it brought that in: included first by its own source, every such header is compiled once
# with nothing before it. (The headers without a source of their name are compiled on their own,
# see tests/layers.) Each offence is reported as file:line with what it includes first instead.
cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "CheckOwnHeaderFirst: pass -DSOURCE_DIR=<folder holding src/ and tests/>")
endif()

file(GLOB_RECURSE sources LIST_DIRECTORIES false RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/tests/*.cpp")
list(SORT sources)
set(offences "")
set(checked 0)
foreach(source IN LISTS sources)
    get_filename_component(folder "${source}" DIRECTORY)
    get_filename_component(stem "${source}" NAME_WE)
    if(NOT EXISTS "${SOURCE_DIR}/${folder}/${stem}.h")
        continue()
    endif()
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${SOURCE_DIR}/${source}" lines)
    set(lineNumber 0)
    set(first "")
    foreach(line IN LISTS lines)
        math(EXPR lineNumber "${lineNumber} + 1")
        if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"][^>\"]*[>\"])")
            set(first "${CMAKE_MATCH_1}")
            break()
        endif()
    endforeach()
    if(first STREQUAL "")
        list(APPEND offences "${source}: includes nothing, not even ${stem}.h")
    elseif(NOT first MATCHES "^\"(.*/)?${stem}\\.h\"$")
        list(APPEND offences "${source}:${lineNumber}: includes ${first} before ${stem}.h")
    endif()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "CheckOwnHeaderFirst: no source with a header of its name below ${SOURCE_DIR}")
endif()
if(offences)
    list(LENGTH offences count)
    list(JOIN offences "\n" report)
    message(FATAL_ERROR "${report}\n${count} sources do not include their own header first")
endif()
message(STATUS "CheckOwnHeaderFirst: ${checked} sources include their own header first")
