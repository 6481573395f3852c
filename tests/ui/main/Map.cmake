# The map bridge against a recording browser, and the map page in a real
# web engine (offscreen; the engine's sandbox refuses to run as root in CI).
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
kp_add_test(ui kp_ui_map_bridge_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestMapBridge.cpp
  LIBS kp_ui kp_ui_testsupport)
kp_add_test(ui kp_ui_map_page_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestMapPage.cpp
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  ENVIRONMENT QTWEBENGINE_DISABLE_SANDBOX=1)
