# Runs cmake/CheckIncludeLayers.cmake on small crafted trees in a fresh folder below WORK_DIR (runs
# side by side never share a tree) and holds it to its verdict: a tree that keeps its layers passes,
# every kind of offence fails and is named by file:line and both folders.
#
#   cmake -DCHECKER=<CheckIncludeLayers.cmake> -DWORK_DIR=<scratch folder> -P CheckIncludeLayersTest.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/CheckerTrees.cmake)

set(layers [=[
# lowest first
vm: state
vm: disk
ui/views: common
ui/views: sidebar detail
ui/views: dashboard
]=])

# Writes the tree of the case: every file as "<path>=<content>", with the layers above. In the
# content | stands for a line break and <sc>, <lb>, <rb>, <bs> for ; [ ] and a backslash, which a
# CMake list does not carry as they are.
function(write_tree caseDir)
    file(REMOVE_RECURSE "${caseDir}")
    file(WRITE "${caseDir}/layers.txt" "${layers}")
    foreach(entry IN LISTS ARGN)
        string(FIND "${entry}" "=" split)
        string(SUBSTRING "${entry}" 0 ${split} path)
        math(EXPR contentStart "${split} + 1")
        string(SUBSTRING "${entry}" ${contentStart} -1 content)
        string(REPLACE "|" "\n" content "${content}")
        string(REPLACE "<sc>" ";" content "${content}")
        string(REPLACE "<lb>" "[" content "${content}")
        string(REPLACE "<rb>" "]" content "${content}")
        string(REPLACE "<bs>" "\\" content "${content}")
        file(WRITE "${caseDir}/src/${path}" "${content}")
    endforeach()
endfunction()

# A tree every case starts from: one file in each folder, each including only downward, and a
# file directly in the root that includes every folder.
set(cleanTree
    "vm/state/Record.h=#pragma once|#include <QString>|#include \"vm/state/Kind.h\""
    "vm/state/Kind.h=#pragma once"
    "vm/disk/Work.cpp=#include \"vm/disk/Work.h\"||#include \"vm/state/Record.h\"|#include \"model/Other.h\""
    "vm/disk/Work.h=#pragma once|// #include \"vm/Main.h\" in a comment is no include"
    "vm/Main.cpp=#include \"vm/disk/Work.h\"|#include \"vm/state/Record.h\""
    "ui/views/common/Shared.h=#pragma once"
    "ui/views/sidebar/Column.cpp=#include \"ui/views/common/Shared.h\"|#include \"vm/disk/Work.h\""
    "ui/views/detail/Pane.cpp=#include \"ui/views/common/Shared.h\""
    "ui/views/dashboard/Board.cpp=#include \"ui/views/sidebar/Column.h\"|#include \"ui/views/detail/Pane.h\"")

# check_case(<name> <expected: pass | fail> [EXPECT <text>...] FILES <path=content>...)
function(check_case name expected)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "EXPECT;FILES")
    set(caseDir "${runDir}/${name}")
    write_tree("${caseDir}" ${cleanTree} ${arg_FILES})
    run_checker(${name} ${expected} EXPECT ${arg_EXPECT}
                ARGS -DSOURCE_DIR=${caseDir} -DLAYERS_FILE=${caseDir}/layers.txt)
    set(failures "${failures}" PARENT_SCOPE)
endfunction()

check_case(clean pass EXPECT "9 files follow the layers")

# Line numbers count every line, blank ones and those holding ; [ ] or a trailing backslash too.
check_case(upward fail
    EXPECT "src/vm/state/Record.h:6: vm/state includes vm/disk, a layer above it" "1 offence"
    FILES "vm/state/Record.h=#pragma once||int a<lb>2<rb>{1, 2}<sc>|#define TWO <bs>|    2|#include \"vm/disk/Work.h\"")

check_case(loop fail
    EXPECT "src/vm/state/Kind.h:2: vm/state includes vm/disk, a layer above it" "1 offence"
    FILES "vm/state/Kind.h=#pragma once|  #  include \"vm/disk/Work.h\"")

check_case(upward_in_nested_root fail
    EXPECT "src/ui/views/common/Shared.h:2: ui/views/common includes ui/views/dashboard, a layer above it"
    FILES "ui/views/common/Shared.h=#pragma once|#include \"ui/views/dashboard/Board.h\"")

check_case(peer fail
    EXPECT "src/ui/views/detail/Pane.cpp:2: ui/views/detail includes ui/views/sidebar, a folder of its own layer"
    FILES "ui/views/detail/Pane.cpp=#include \"ui/views/common/Shared.h\"|#include \"ui/views/sidebar/Column.h\"")

check_case(root_file fail
    EXPECT "src/vm/disk/Work.cpp:1: vm/disk includes \"vm/Main.h\", a file above every folder"
    FILES "vm/disk/Work.cpp=#include \"vm/Main.h\"")

check_case(unplaced_folder fail
    EXPECT "src/vm/extra/Tool.h: the folder vm/extra has no layer"
           "src/vm/disk/Work.cpp:1: vm/disk includes vm/extra, which has no layer"
           "2 offence"
    FILES "vm/extra/Tool.h=#pragma once" "vm/disk/Work.cpp=#include \"vm/extra/Tool.h\"")

close_checker_test("CheckIncludeLayers passes clean trees and names every offence")
