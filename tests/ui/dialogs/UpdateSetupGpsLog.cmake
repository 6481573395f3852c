# The update check, the camera set-up editor and the GPS-log converter. Their
# pure cores' tests live in core/ (the logic-only build adds that folder by
# itself).
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/core ${CMAKE_BINARY_DIR}/tests/ui/dialogs/core)
