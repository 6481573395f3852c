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

# Every test runs in a home of its own (cmake/KpTestHome.sh.in): a test
# target gets the launcher as its emulator, which CTest puts in front of the
# program both when it lists a gtest program's cases and when it runs them;
# a test whose command is no target starts with ${KP_TEST_HOME} itself. Each
# such test also requires the fixture kp_real_home, whose last test fails when
# the home of whoever runs the tests changed meanwhile.
set(KP_TEST_HOME_DIR ${CMAKE_BINARY_DIR}/test-home)
configure_file(${CMAKE_CURRENT_LIST_DIR}/KpTestHome.sh.in ${KP_TEST_HOME_DIR}/kp-test-home @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(KP_TEST_HOME ${KP_TEST_HOME_DIR}/kp-test-home)
set(KP_REAL_HOME_FIXTURE kp_real_home)

function(kp_test_home target)
  set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${KP_TEST_HOME})
endfunction()

# Further fixtures whose tests cannot also require kp_real_home (a gtest
# program's discovered cases take one fixture): the home check runs after
# their tests too.
function(kp_real_home_also_after fixture)
  set_property(GLOBAL APPEND PROPERTY KP_REAL_HOME_LATER_FIXTURES ${fixture})
endfunction()

# The first and the last test of every run: a record of the runner's home,
# and its comparison once every test is done. Called once, after every test
# was declared.
function(kp_add_real_home_check)
  get_property(later GLOBAL PROPERTY KP_REAL_HOME_LATER_FIXTURES)
  set(record ${KP_TEST_HOME_DIR}/real-home.txt)
  foreach(mode snapshot check)
    add_test(NAME real_home_${mode}
      COMMAND ${CMAKE_COMMAND} -DMODE=${mode} -DFILE=${record}
              -P ${CMAKE_SOURCE_DIR}/cmake/KpRealHome.cmake)
  endforeach()
  set_tests_properties(real_home_snapshot PROPERTIES FIXTURES_SETUP ${KP_REAL_HOME_FIXTURE})
  set_tests_properties(real_home_check PROPERTIES FIXTURES_CLEANUP "${KP_REAL_HOME_FIXTURE};${later}")
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
  kp_test_home(${target})
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
    PROPERTIES ENVIRONMENT "${platform}" ${extra} ${lock} TIMEOUT 300
    FIXTURES_REQUIRED ${KP_REAL_HOME_FIXTURE})
endfunction()
