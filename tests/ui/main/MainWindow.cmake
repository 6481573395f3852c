# The main window's construction: layout rules, menus and their saved
# marks, language, start-up support.
kp_add_test(ui kp_ui_mainwindow_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestWindowLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/TestMainMenus.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestStartupSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/TestFormMain.cpp
  LIBS kp_ui kp_ui_testsupport
  # The main window holds the map's web view; CI runs as root.
  ENVIRONMENT QTWEBENGINE_DISABLE_SANDBOX=1)
# The start-up tests run the built program on its command-line options.
target_compile_definitions(kp_ui_mainwindow_tests PRIVATE KP_PROGRAM="$<TARGET_FILE:kestril-player>")
add_dependencies(kp_ui_mainwindow_tests kestril-player)

# The recording list's commands on rows in memory.
kp_add_test(ui kp_ui_filelist_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestFileListCommands.cpp ${CMAKE_CURRENT_LIST_DIR}/FileListTestSupport.h
  LIBS kp_ui kp_ui_testsupport)

# The same on a generated demo card, checked with gpsbabel, xmllint and identify.
kp_add_test(ui kp_ui_filelist_card_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestFileListFiles.cpp ${CMAKE_CURRENT_LIST_DIR}/FileListTestSupport.h
  LIBS kp_ui kp_ui_testsupport)
target_compile_definitions(kp_ui_filelist_card_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_filelist_card_tests make-demo-card)

# The program as a user starts it, under Xvfb, on a generated demo card.
kp_add_test(ui kp_ui_endtoend_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestEndToEnd.cpp
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  XCB)
target_compile_definitions(kp_ui_endtoend_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>"
                                                        KP_PROGRAM="$<TARGET_FILE:kestril-player>")
add_dependencies(kp_ui_endtoend_tests make-demo-card kestril-player)
