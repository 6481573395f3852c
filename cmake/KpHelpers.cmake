# Adds src/<sub> and tests/<sub> when they exist, so a subsystem joins the
# build by its first file.
function(kp_add_subsystem sub)
  if(EXISTS ${CMAKE_SOURCE_DIR}/src/${sub}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/src/${sub} ${CMAKE_BINARY_DIR}/src/${sub})
  endif()
  if(KP_BUILD_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/${sub}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/${sub} ${CMAKE_BINARY_DIR}/tests/${sub})
  endif()
endfunction()

# kp_add_test(<subsystem> <target> SOURCES ... LIBS ...)
# Every test case becomes a CTest test named "<subsystem>_<Suite>.<Case>", so
# one subsystem's tests run alone with `ctest -R ^<subsystem>_`.
function(kp_add_test sub target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} kp_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${target} TEST_PREFIX "${sub}_" DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
