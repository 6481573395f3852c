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

# kp_add_test(<subsystem> <target> SOURCES ... LIBS ... [XCB] [ENVIRONMENT VAR=value])
# Every test case becomes a CTest test named "<subsystem>_<Suite>.<Case>", so
# one subsystem's tests run alone with `ctest -R ^<subsystem>_`. Tests run
# offscreen; XCB ones need a real X server (scripts/test starts Xvfb), for
# window placement, screen grabs and the active window.
function(kp_add_test sub target)
  cmake_parse_arguments(ARG "XCB" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} kp_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
  set(lock)
  if(ARG_XCB)
    set(platform "QT_QPA_PLATFORM=xcb")
    # One X server and one keyboard focus: tests that activate windows and
    # press keys would take the focus from each other when run side by side.
    set(lock RESOURCE_LOCK kp_x_server)
  else()
    set(platform "QT_QPA_PLATFORM=offscreen")
  endif()
  # The discovery script writes every list element as a word of its own, so
  # a second ENVIRONMENT entry would be read as a property name and dropped:
  # the further variable goes in ENVIRONMENT_MODIFICATION instead.
  set(extra)
  list(LENGTH ARG_ENVIRONMENT count)
  if(count GREATER 1)
    message(FATAL_ERROR "kp_add_test(${target}): at most one ENVIRONMENT variable")
  elseif(count EQUAL 1)
    string(REPLACE "=" "=set:" modification "${ARG_ENVIRONMENT}")
    set(extra ENVIRONMENT_MODIFICATION "${modification}")
  endif()
  gtest_discover_tests(${target} TEST_PREFIX "${sub}_" DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${platform}" ${extra} ${lock} TIMEOUT 300)
endfunction()
