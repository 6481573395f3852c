# The real main window under Xvfb as a user meets it: the video's popup,
# double-clicks, the controls with nothing loaded, the list's status row,
# keys in the list and in other windows, and the texts after a language
# change (with the real map page).
kp_add_test(ui kp_ui_realwindow_keys_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowKeys.cpp ${CMAKE_CURRENT_LIST_DIR}/RealWindowSupport.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  XCB
  # The main window holds the map's web view; CI runs as root.
  ENVIRONMENT QTWEBENGINE_DISABLE_SANDBOX=1)
target_compile_definitions(kp_ui_realwindow_keys_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_realwindow_keys_tests make-demo-card)
