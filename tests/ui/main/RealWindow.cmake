# The real main window under Xvfb on a generated demo card: drops, snapshots,
# play speed, full screen, keys, renderer switch, mirror and drag; the
# layout: gauges, the bottom panel through full screen, re-layouts.
kp_add_test(ui kp_ui_realwindow_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowFiles.cpp ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowViews.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowCatalogue.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RealWindowSupport.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  XCB)
target_compile_definitions(kp_ui_realwindow_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_realwindow_tests make-demo-card)
# The real main window on a card of 30-s fragments made by ffmpeg: pausing
# at a fragment switch, the end of the seek bar, a damaged fragment; on the
# demo card the gauges and details after a seek; empty movies.
kp_add_test(ui kp_ui_realwindow_playing_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowPlaying.cpp ${CMAKE_CURRENT_LIST_DIR}/RealWindowSupport.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  XCB)
target_compile_definitions(kp_ui_realwindow_playing_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_realwindow_playing_tests make-demo-card)
