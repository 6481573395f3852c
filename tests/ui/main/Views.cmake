# The views of the main window: the zoom engine, the time window, marks,
# keys, wheel and layout rules, and the collaborators on offscreen widgets.
kp_add_test(ui kp_ui_views_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestViewsLogic.cpp ${CMAKE_CURRENT_LIST_DIR}/TestViewsWidgets.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ViewsTestSupport.h
  LIBS kp_ui kp_ui_testsupport)
