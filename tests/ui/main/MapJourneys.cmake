# The map on the real main window under Xvfb, on a generated demo card:
# command-line start, first fit, A-B marks, the grouping preview, and what
# the command line takes.
kp_add_realwindow_test(kp_ui_map_journey_tests ${CMAKE_CURRENT_LIST_DIR}/TestMapJourneys.cpp)
