# Playing a recording: the position model's arithmetic, the model and the
# periodic pass on the fake media graph with recording host and map, and the
# real components on GStreamer with clips made by ffmpeg.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
set(KP_PLAYING_SUPPORT ${CMAKE_CURRENT_LIST_DIR}/PlayingTestSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/PlayingTestSupport.h)
kp_add_test(ui kp_ui_playing_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestPositionModel.cpp ${CMAKE_CURRENT_LIST_DIR}/TestPlaybackPass.cpp ${KP_PLAYING_SUPPORT}
  LIBS kp_ui kp_ui_testsupport kp_playback_fake Qt6::Test)
kp_add_test(ui kp_ui_playing_gst_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestPlayingRealComponents.cpp ${KP_PLAYING_SUPPORT}
  LIBS kp_ui kp_ui_testsupport kp_playback_fake Qt6::Test)
# Generated clips are cached here between runs.
target_compile_definitions(kp_ui_playing_gst_tests PRIVATE KP_PLAYING_FIXTURES="${CMAKE_CURRENT_BINARY_DIR}/playing-fixtures")
