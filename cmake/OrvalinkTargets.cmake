# Shared compile settings and helpers for every target of the project.

# Definitions and warnings without the sanitizers: for a helper program that runs under an
# address-space limit, which the sanitizers' huge reservations would exceed at once.
add_library(orvalink_warnings INTERFACE)
target_compile_definitions(orvalink_warnings INTERFACE
  QT_NO_KEYWORDS
  ORVALINK_VERSION="${PROJECT_VERSION}")
# A switch over an enum that misses one of its values is an error in every build: the switches over
# the kinds of records and cases rely on it to name each place a new value must be handled.
target_compile_options(orvalink_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Werror=switch)
if(ORVALINK_WERROR)
  target_compile_options(orvalink_warnings INTERFACE -Werror)
endif()

add_library(orvalink_options INTERFACE)
target_link_libraries(orvalink_options INTERFACE orvalink_warnings)
if(ORVALINK_SANITIZE)
  target_compile_options(orvalink_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(orvalink_options INTERFACE -fsanitize=address,undefined)
endif()

# orvalink_add_library(<name> SOURCES ... [DEPENDS ...])
# One library per layer; DEPENDS lists the libraries this layer may call. Static, so that the
# installed program stands alone; shared with ORVALINK_SHARED_LIBS, so that a test build links each
# layer once instead of copying it into every one of a hundred test programs. Programs find the
# shared layers in the build tree through their build RPATH.
function(orvalink_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(ORVALINK_SHARED_LIBS)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC orvalink_options ${ARG_DEPENDS})
  if(ORVALINK_PCH_LAYERS)
    target_precompile_headers(${name} REUSE_FROM orvalink_layer_pch)
  endif()
  if(ORVALINK_UNITY_LAYERS)
    # A batch parses the headers its files share once, and generates the code of what they share
    # once. The files of a layer therefore keep the names of their own anonymous namespaces apart.
    # GCC takes a file included into a batch for a header, and would warn of every coroutine
    # frame that holds a type of the file's own.
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16)
    target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
  endif()
endfunction()

# orvalink_compile_as_test(<target>)
# With ORVALINK_PCH_TESTS test code links the Qt modules every test links and loads their
# precompiled header (see OrvalinkPch.cmake), except in its AUTOMOC collection file: that holds
# nothing where the sources include their own moc files, as tests do, and loading the header would
# be nearly all of its cost.
function(orvalink_compile_as_test target)
  if(ORVALINK_PCH_TESTS)
    target_link_libraries(${target} PRIVATE ${ORVALINK_TEST_PCH_MODULES})
    target_precompile_headers(${target} REUSE_FROM orvalink_test_pch)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/mocs_compilation.cpp
      PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
endfunction()

# orvalink_add_test_library(<name> <source>...)
# A static library of test support, compiled like the tests.
function(orvalink_add_test_library name)
  add_library(${name} STATIC ${ARGN})
  orvalink_compile_as_test(${name})
endfunction()

# orvalink_order_test(<name>): a test named in ORVALINK_LONG_TESTS starts before the others.
function(orvalink_order_test name)
  if(name IN_LIST ORVALINK_LONG_TESTS)
    set_tests_properties(${name} PROPERTIES COST 100)
  endif()
endfunction()

# orvalink_add_test(<name> SOURCES ... [DEPENDS ...])
# One Qt Test executable per area, registered with CTest. With ORVALINK_PCH_TESTS every test links
# the same Qt modules, so that all compile with the same definitions and share one precompiled header.
function(orvalink_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE orvalink_options orvalink_testsupport Qt6::Test ${ARG_DEPENDS})
  orvalink_compile_as_test(${name})
  add_test(NAME ${name} COMMAND ${name})
  orvalink_order_test(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;FONTCONFIG_FILE=${ORVALINK_TEST_FONTS_CONF}")
endfunction()

# orvalink_add_compile_check(<name> HEADER <path below src> REPLACE <text> WITH <text>
#                            SOURCES ... DEPENDS ... EXPECT <regex> COUNT <n>)
# A test that a change which must not compile indeed does not: the sources are compiled, each on
# its own, against a copy of the header with <text> replaced, and the errors must match <regex>
# exactly <n> times in all. The sources build only when the test runs.
function(orvalink_add_compile_check name)
  cmake_parse_arguments(ARG "" "HEADER;REPLACE;WITH;EXPECT;COUNT" "SOURCES;DEPENDS" ${ARGN})
  set(header ${PROJECT_SOURCE_DIR}/src/${ARG_HEADER})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(READ ${header} text)
  string(FIND "${text}" "${ARG_REPLACE}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name}: \"${ARG_REPLACE}\" is no longer in ${header}")
  endif()
  string(REPLACE "${ARG_REPLACE}" "${ARG_WITH}" text "${text}")
  set(changed ${CMAKE_CURRENT_BINARY_DIR}/${name})
  file(WRITE ${changed}/${ARG_HEADER} "${text}")
  set(targets "")
  foreach(source IN LISTS ARG_SOURCES)
    get_filename_component(stem ${source} NAME_WE)
    add_library(${name}_${stem} OBJECT EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/src/${source})
    target_include_directories(${name}_${stem} BEFORE PRIVATE ${changed})
    target_link_libraries(${name}_${stem} PRIVATE ${ARG_DEPENDS})
    set_target_properties(${name}_${stem} PROPERTIES AUTOMOC OFF)
    list(APPEND targets ${name}_${stem})
  endforeach()
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} "-DTARGETS=${targets}"
                   "-DEXPECT=${ARG_EXPECT}" -DCOUNT=${ARG_COUNT}
                   -P ${PROJECT_SOURCE_DIR}/cmake/ExpectCompileErrors.cmake)
  orvalink_order_test(${name})
endfunction()
