# Shared compile settings and helpers for every target of the project.

# Definitions and warnings without the sanitizers: for a helper program that runs under an
# address-space limit, which the sanitizers' huge reservations would exceed at once.
add_library(orvalink_warnings INTERFACE)
target_compile_definitions(orvalink_warnings INTERFACE
  QT_NO_KEYWORDS
  ORVALINK_VERSION="${PROJECT_VERSION}")
target_compile_options(orvalink_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
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
# One static library per layer; DEPENDS lists the libraries this layer may call.
function(orvalink_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC orvalink_options ${ARG_DEPENDS})
endfunction()

# orvalink_add_test(<name> SOURCES ... [DEPENDS ...])
# One Qt Test executable per area, registered with CTest.
function(orvalink_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE orvalink_options orvalink_testsupport Qt6::Test ${ARG_DEPENDS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;FONTCONFIG_FILE=${ORVALINK_TEST_FONTS_CONF}")
endfunction()
