# crewmap_test(<name> [X11] [QT] SOURCES ... [LIBS ...] [TIMEOUT s] [LOCKS ...])
#   plain: GoogleTest's own main.
#   X11:   the test main starts a private Xvfb and sets DISPLAY for the run.
#   QT:    as X11, and a QApplication on that display lives for the run.
#   LOCKS: CTest resource locks, e.g. port_21212 for tests that use the real port,
#          so that parallel runs never collide.
#   PRIVATE_NETWORK: (X11/QT) the test runs in a network namespace of its own,
#          where the fixed port is free whatever else runs on the machine.
# One CTest entry per test program.
function(crewmap_test name)
  cmake_parse_arguments(T "X11;QT;PRIVATE_NETWORK" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_QT)
    target_link_libraries(${name} PRIVATE crewmap_testmain_qt)
  elseif(T_X11)
    target_link_libraries(${name} PRIVATE crewmap_testmain_x11)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  crewmap_warnings(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    add_test(NAME ${name} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
  endif()
  if(T_PRIVATE_NETWORK)
    # The test main moves the test into a network namespace of its own.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT CREWMAP_TEST_PRIVATE_NETWORK=1)
  endif()
endfunction()
