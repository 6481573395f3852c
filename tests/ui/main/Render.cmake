# How the web views are drawn: the renderer string's reading, and the real
# window on each path (the OpenGL path forced where the machine has OpenGL).
kp_add_test(ui kp_ui_render_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestRenderPath.cpp ${CMAKE_CURRENT_LIST_DIR}/RealWindowSupport.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test
  XCB)
target_compile_definitions(kp_ui_render_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_render_tests make-demo-card)
