# The program started under a Russian locale: Qt's own texts, the program's
# filters and the cutting window's captions in the language it runs in.
kp_add_test(ui kp_ui_language_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestLanguageTexts.cpp
  LIBS kp_ui kp_ui_testsupport
  ENVIRONMENT LANG=ru_RU.UTF-8)
