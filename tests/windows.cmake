# The tests on Windows: GoogleTest built from its sources by the same compiler (Debian's googletest
# package), one test program run whole (under wine when cross-compiling), and only the suites of
# what the library brings itself: the system's own windows, timers and events are not retested.

set(LTPADMIN_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${LTPADMIN_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Not the POSIX stand-ins' own suites.
function(ltpadmin_windows_test_sources list)
  set(sources ${${list}})
  foreach(name platform_event platform_queue platform_socket platform_timer)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${name}_test.cpp)
  endforeach()
  set(${list} ${sources} PARENT_SCOPE)
endfunction()

# One ctest entry for the whole program: a wine start per test case would cost minutes.
function(ltpadmin_windows_test target)
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  set_tests_properties(${target} PROPERTIES TIMEOUT 600 ENVIRONMENT "WINEDEBUG=-all")
endfunction()

# The examples against their own loopback server, through the DLL and its import library, and the
# client header in a program with Windows names of its own.
function(ltpadmin_windows_example_test)
  if(TARGET ltpadmin-example)
    add_test(NAME ltpadmin-example COMMAND ltpadmin-example)
    set_tests_properties(ltpadmin-example PROPERTIES TIMEOUT 120 ENVIRONMENT "WINEDEBUG=-all"
                         PASS_REGULAR_EXPRESSION "<User>admin")
  endif()
  if(TARGET ltpadmin-modern-example)
    add_test(NAME ltpadmin-modern-example COMMAND ltpadmin-modern-example)
    set_tests_properties(ltpadmin-modern-example PROPERTIES TIMEOUT 120
                         ENVIRONMENT "WINEDEBUG=-all"
                         PASS_REGULAR_EXPRESSION "no user 'nobody'")
  endif()
endfunction()
