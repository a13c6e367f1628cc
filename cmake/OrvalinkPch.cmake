# Precompiled headers for test builds. Every file parses Qt's core module and the standard library
# beneath it again (some 170 000 lines, most of a file's compile time); a test adds Qt's test,
# widget and network modules. Compiled once, they are loaded instead: ORVALINK_PCH_LAYERS for the
# layers, ORVALINK_PCH_TESTS for the test programs.
#
# GCC takes a precompiled header only where the compile's flags, and the definitions the header
# depends on, are the ones it was made with: Qt's core module depends on none of the module
# definitions (QT_WIDGETS_LIB and the like), so every layer shares one; Qt's test module does, so
# every test links the same Qt modules. A header GCC refuses fails the build (-Winvalid-pch is an
# error with ORVALINK_WERROR) instead of silently costing the time again.
#
# Headers seen through a precompiled header need no include of their own (nor do those an earlier
# file of the same batch included, with ORVALINK_UNITY_LAYERS), so the test builds do not check that
# each file includes what it uses; the installed program is built file by file without them.
if(ORVALINK_PCH_LAYERS)
  add_library(orvalink_layer_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/PchAnchor.cpp)
  target_link_libraries(orvalink_layer_pch PRIVATE orvalink_options Qt6::Core)
  target_precompile_headers(orvalink_layer_pch PRIVATE <QtCore>)
  set_target_properties(orvalink_layer_pch PROPERTIES AUTOMOC OFF)
endif()

if(ORVALINK_PCH_TESTS AND ORVALINK_BUILD_TESTS)
  set(ORVALINK_TEST_PCH_MODULES Qt6::Concurrent Qt6::Gui Qt6::Network Qt6::Svg Qt6::Test Qt6::Widgets)
  add_library(orvalink_test_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/PchAnchor.cpp)
  target_link_libraries(orvalink_test_pch PRIVATE orvalink_options ${ORVALINK_TEST_PCH_MODULES})
  target_precompile_headers(orvalink_test_pch PRIVATE <QtConcurrent> <QtNetwork> <QtTest> <QtWidgets>)
  if(ORVALINK_TESTS_UNOPTIMIZED)
    target_compile_options(orvalink_test_pch PRIVATE -O0)
  endif()
  set_target_properties(orvalink_test_pch PROPERTIES AUTOMOC OFF)
endif()
