# The auxiliary windows: copy engine and window, grouping, details, property,
# folder chooser, About and What's new. The details window's placement needs
# a real X server; the rest runs offscreen.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
kp_add_test(ui kp_ui_auxwindows_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestFormCopyThread.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestAuxWindowTexts.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestFormGroup.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TestAuxWindows.cpp
          ${CMAKE_CURRENT_LIST_DIR}/FakeDialogHost.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test)
target_include_directories(kp_ui_auxwindows_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(kp_ui_auxwindows_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
add_dependencies(kp_ui_auxwindows_tests make-demo-card)

kp_add_test(ui kp_ui_details_tests XCB
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestFormDetails.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeDialogHost.h
  LIBS kp_ui kp_ui_testsupport Qt6::Test)
target_include_directories(kp_ui_details_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
