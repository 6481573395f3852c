# What the window's guards and the worker threads catch reaches the
# exception reporter.
kp_add_test(ui kp_ui_caught_exceptions_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestCaughtExceptions.cpp ${CMAKE_CURRENT_LIST_DIR}/PlayingTestSupport.cpp
          ${CMAKE_CURRENT_LIST_DIR}/PlayingTestSupport.h ${CMAKE_SOURCE_DIR}/tests/ui/ReportRecorder.h
  LIBS kp_ui kp_ui_testsupport kp_playback_fake Qt6::Test)
