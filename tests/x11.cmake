# Tests that need a real X server and window manager. run_x11.sh starts a
# private Xvfb with openbox for each run and reports "skipped" (77) on a
# machine without them.

add_executable(tst_ontop_x11 ${CMAKE_CURRENT_LIST_DIR}/tst_ontop_x11.cpp)
target_link_libraries(tst_ontop_x11 PRIVATE talvence_shell Qt6::Test)
add_test(NAME tst_ontop_x11
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_x11.sh $<TARGET_FILE:tst_ontop_x11>)
set_tests_properties(tst_ontop_x11 PROPERTIES
  ENVIRONMENT "LC_ALL=C.UTF-8"
  SKIP_RETURN_CODE 77
  TIMEOUT 120)
