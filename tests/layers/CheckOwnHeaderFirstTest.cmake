# Runs cmake/CheckOwnHeaderFirst.cmake on small crafted trees in a fresh folder below WORK_DIR and
# holds it to its verdict: a tree whose sources include their own header first passes, a source
# that includes something else first, or nothing, fails and is named.
#
#   cmake -DCHECKER=<CheckOwnHeaderFirst.cmake> -DWORK_DIR=<scratch folder> -P CheckOwnHeaderFirstTest.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/CheckerTrees.cmake)

# check_case(<name> <expected: pass | fail> <text the output must hold> [<Thing.cpp's content>])
# The tree: a source and its header below src/ and below tests/ (one naming its header by its path,
# one by its name alone), a header without a source, a source without a header; the fourth
# argument, when given, replaces the source below src/.
function(check_case name expected text)
    set(tree "${runDir}/${name}")
    set(thing "#include \"a/Thing.h\"\n\n#include <QString>\n")
    if(ARGC GREATER 3)
        set(thing "${ARGV3}")
    endif()
    file(WRITE "${tree}/src/a/Thing.cpp" "${thing}")
    file(WRITE "${tree}/src/a/Thing.h" "#pragma once\n")
    file(WRITE "${tree}/src/a/Lone.h" "#pragma once\n#include <QString>\n")
    file(WRITE "${tree}/src/main.cpp" "#include \"a/Thing.h\"\nint main() {}\n")
    file(WRITE "${tree}/tests/b/Helper.cpp" "  #  include \"Helper.h\"\n#include \"a/Thing.h\"\n")
    file(WRITE "${tree}/tests/b/Helper.h" "#pragma once\n")
    run_checker(${name} ${expected} EXPECT "${text}" ARGS -DSOURCE_DIR=${tree})
    set(failures "${failures}" PARENT_SCOPE)
endfunction()

check_case(clean pass "2 sources include their own header first")
check_case(other_first fail "src/a/Thing.cpp:2: includes <QString> before Thing.h"
           "// Thing\n#include <QString>\n#include \"a/Thing.h\"\n")
check_case(like_named_first fail "src/a/Thing.cpp:1: includes \"a/OtherThing.h\" before Thing.h"
           "#include \"a/OtherThing.h\"\n#include \"a/Thing.h\"\n")
check_case(commented_out fail "src/a/Thing.cpp: includes nothing, not even Thing.h"
           "// #include \"a/Thing.h\"\nint thing;\n")

close_checker_test("CheckOwnHeaderFirst passes a tree that keeps the order and names every source that does not")
