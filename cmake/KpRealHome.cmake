# cmake -DMODE=snapshot|check -DFILE=<record> -P KpRealHome.cmake
# Records what the test suite could write in the home of whoever runs it
# (desktop entries and their caches, the videos and desktop folders, the
# program's settings) before the tests, and fails after them when any of it
# changed.
foreach(var MODE FILE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "KpRealHome.cmake: ${var} is not set")
  endif()
endforeach()
# The home of whoever runs CTest (tests started through the launcher see
# another one).
set(HOME_DIR "$ENV{HOME}")
if(HOME_DIR STREQUAL "")
  message(STATUS "HOME is not set: no home to watch")
  return()
endif()

set(watched
  .local/share/applications
  .local/share/kestril-player
  .config/kestril-player
  .config/mimeapps.list
  Videos
  Desktop)

set(listing "")
foreach(rel IN LISTS watched)
  set(path "${HOME_DIR}/${rel}")
  if(NOT EXISTS "${path}")
    string(APPEND listing "${rel}: absent\n")
    continue()
  endif()
  if(NOT IS_DIRECTORY "${path}")
    file(TIMESTAMP "${path}" stamp "%s" UTC)
    file(SIZE "${path}" size)
    string(APPEND listing "${rel}: ${size} ${stamp}\n")
    continue()
  endif()
  string(APPEND listing "${rel}/\n")
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${path}" "${path}/*")
  list(SORT entries)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${path}/${entry}")
      string(APPEND listing "${rel}/${entry}/\n")
    else()
      file(TIMESTAMP "${path}/${entry}" stamp "%s" UTC)
      file(SIZE "${path}/${entry}" size)
      string(APPEND listing "${rel}/${entry}: ${size} ${stamp}\n")
    endif()
  endforeach()
endforeach()

if(MODE STREQUAL "snapshot")
  file(WRITE "${FILE}" "${listing}")
  message(STATUS "recorded ${HOME_DIR} in ${FILE}")
elseif(MODE STREQUAL "check")
  if(NOT EXISTS "${FILE}")
    message(FATAL_ERROR "no record of ${HOME_DIR} taken before the tests: ${FILE}")
  endif()
  file(READ "${FILE}" before)
  if(NOT before STREQUAL listing)
    file(WRITE "${FILE}.after" "${listing}")
    message(FATAL_ERROR "the tests changed the home of whoever runs them (${HOME_DIR}):\n"
      "before:\n${before}\nafter:\n${listing}")
  endif()
  message(STATUS "${HOME_DIR} is as it was before the tests")
else()
  message(FATAL_ERROR "KpRealHome.cmake: MODE is snapshot or check, not ${MODE}")
endif()
