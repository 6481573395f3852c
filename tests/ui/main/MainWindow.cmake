# The main window's construction: layout rules, menus and their saved
# marks, language, start-up support.
kp_add_test(ui kp_ui_mainwindow_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestWindowLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/TestMainMenus.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestStartupSupport.cpp
  LIBS kp_ui kp_ui_testsupport)

# The recording list's commands on rows in memory.
kp_add_test(ui kp_ui_filelist_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestFileListCommands.cpp ${CMAKE_CURRENT_LIST_DIR}/FileListTestSupport.h
  LIBS kp_ui kp_ui_testsupport)
