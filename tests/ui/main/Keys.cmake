# The real main window under Xvfb as a user meets it: the video's popup,
# double-clicks, the controls with nothing loaded, the list's status row,
# keys in the list and in other windows, and the texts after a language
# change (with the real map page).
kp_add_realwindow_test(kp_ui_realwindow_keys_tests ${CMAKE_CURRENT_LIST_DIR}/TestRealWindowKeys.cpp)
