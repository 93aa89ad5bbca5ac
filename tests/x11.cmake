# SPDX-License-Identifier: GPL-3.0-or-later
# Tests that need a real X server and window manager. run_x11.sh starts a
# private Xvfb with openbox for each run and reports "skipped" (77) on a
# machine without them.

function(talvence_x11_test name)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/testfolder.h ${CMAKE_CURRENT_LIST_DIR}/xuser.h
                 ${CMAKE_CURRENT_LIST_DIR}/windowtest.h)
  target_link_libraries(${name} PRIVATE talvence_shell Qt6::Test)
  add_test(NAME ${name} COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_x11.sh $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "LC_ALL=C.UTF-8"
    SKIP_RETURN_CODE 77
    TIMEOUT 180)
endfunction()

talvence_x11_test(tst_ontop_x11)
talvence_x11_test(tst_windows_x11)
target_compile_definitions(tst_windows_x11 PRIVATE
  TALVENCE_HELP_PAGES="${CMAKE_SOURCE_DIR}/src/help/pages")

# The Debian package, unpacked and started (see package_test.sh).
add_test(NAME package
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_x11.sh ${CMAKE_CURRENT_LIST_DIR}/package_test.sh
                 ${CMAKE_BINARY_DIR})
set_tests_properties(package PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The program used from outside through the accessibility bus.
add_test(NAME accessible
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_x11.sh ${CMAKE_CURRENT_LIST_DIR}/accessible_test.sh
                 $<TARGET_FILE:talvence>)
set_tests_properties(accessible PROPERTIES
  ENVIRONMENT "LC_ALL=C.UTF-8" SKIP_RETURN_CODE 77 TIMEOUT 180)
