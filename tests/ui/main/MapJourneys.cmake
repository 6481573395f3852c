# The map on the real main window under Xvfb, on a generated demo card:
# command-line start, first fit, A-B marks, the grouping preview, and what
# the command line takes.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
kp_add_test(ui kp_ui_map_journey_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestMapJourneys.cpp ${CMAKE_CURRENT_LIST_DIR}/RealWindowSupport.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  XCB
  ENVIRONMENT QTWEBENGINE_DISABLE_SANDBOX=1)
target_compile_definitions(kp_ui_map_journey_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_map_journey_tests make-demo-card)
