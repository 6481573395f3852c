# The cutting list's rules, headless.
kp_add_test(ui kp_ui_cutting_rules_tests SOURCES TestCropRules.cpp TestCropDatBlock.cpp LIBS kp_ui kp_ui_testsupport)

# The cutting job and the dialogs on real recordings: a demo card and the
# writer's B-frame source, made once per build tree as CTest fixtures, with
# ffmpeg and ffprobe as oracles.
set(KP_CUTTING_CARD_DIR ${CMAKE_CURRENT_BINARY_DIR}/cutting-card)
set(KP_CUTTING_SOURCES_DIR ${CMAKE_CURRENT_BINARY_DIR}/cutting-sources)
add_test(NAME ui_MakeCuttingCard COMMAND ${KP_TEST_HOME} $<TARGET_FILE:make-demo-card> --jobs 2 ${KP_CUTTING_CARD_DIR})
add_test(NAME ui_MakeCuttingSources
  COMMAND ${KP_TEST_HOME} sh ${CMAKE_SOURCE_DIR}/tests/container/make_writer_sources.sh ${KP_CUTTING_SOURCES_DIR})
set_tests_properties(ui_MakeCuttingCard ui_MakeCuttingSources PROPERTIES FIXTURES_SETUP kp_cutting_inputs TIMEOUT 300
  FIXTURES_REQUIRED ${KP_REAL_HOME_FIXTURE})
kp_real_home_also_after(kp_cutting_inputs)

function(kp_cutting_test target source platform)
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE kp_ui kp_ui_testsupport kp_testsupport kp_democard GTest::gtest
    GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    KP_CUTTING_CARD="${KP_CUTTING_CARD_DIR}" KP_CUTTING_SOURCES="${KP_CUTTING_SOURCES_DIR}")
  add_dependencies(${target} make-demo-card)
  kp_test_home(${target})
  set(lock)
  if(platform STREQUAL "xcb")
    # The X server's keyboard focus is shared with the other X tests.
    set(lock RESOURCE_LOCK kp_x_server)
  endif()
  gtest_discover_tests(${target} TEST_PREFIX "ui_" DISCOVERY_MODE PRE_TEST
    # One fixture name for both inputs: the discovery script cannot pass a list.
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=${platform}" FIXTURES_REQUIRED kp_cutting_inputs ${lock}
    TIMEOUT 300)
endfunction()

kp_cutting_test(kp_ui_cutting_job_tests TestCropJob.cpp offscreen)
# The dialogs with a fake main window run under Xvfb (activation, the modal
# editor driven from a timer).
kp_cutting_test(kp_ui_cutting_dialog_tests TestFormCropping.cpp xcb)
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(kp_ui_cutting_dialog_tests PRIVATE Qt6::Test)
# The program's own windows: a cut cancelled while the main window is hidden,
# and a cut of a movie added by hand in another time zone.
kp_cutting_test(kp_ui_cutting_realwindow_tests TestCropCancelRealWindow.cpp xcb)
target_include_directories(kp_ui_cutting_realwindow_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/ui/main)
target_compile_definitions(kp_ui_cutting_realwindow_tests PRIVATE KP_MAKE_DEMO_CARD="$<TARGET_FILE:make-demo-card>")
target_link_libraries(kp_ui_cutting_realwindow_tests PRIVATE Qt6::Test)
