# The update check, the camera set-up editor and the GPS-log converter. Their
# pure cores' tests live in core/ (the logic-only build adds that folder by
# itself).
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/core ${CMAKE_BINARY_DIR}/tests/ui/dialogs/core)

kp_add_test(ui kp_ui_update_setup_gpslog_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestAutoUpdate.cpp ${CMAKE_CURRENT_LIST_DIR}/TestSetupDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TestGpsLog.cpp
  LIBS kp_ui kp_ui_testsupport kp_democard)
target_compile_definitions(kp_ui_update_setup_gpslog_tests PRIVATE
  KP_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data")
