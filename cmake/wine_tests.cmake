# Tests that run the Windows programs under Wine, in one Wine session per test run: 'wine.start'
# sets it up before the first of them, 'wine.stop' takes it down after the last, even when a
# test failed.

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(WINE_SESSION_DIR ${CMAKE_BINARY_DIR}/wine)
set(TEST_SCRATCH_DIR ${CMAKE_BINARY_DIR}/scratch)
file(MAKE_DIRECTORY ${TEST_SCRATCH_DIR})

add_test(NAME wine.start COMMAND ${CMAKE_SOURCE_DIR}/tools/wine/session start ${WINE_SESSION_DIR})
add_test(NAME wine.stop COMMAND ${CMAKE_SOURCE_DIR}/tools/wine/session stop ${WINE_SESSION_DIR})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine LABELS harness TIMEOUT 300)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine LABELS harness)

include(GoogleTest)
function(wine_test_properties)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wine LABELS wine TIMEOUT 600
    ENVIRONMENT "WINE_SESSION_DIR=${WINE_SESSION_DIR}")
endfunction()
# Each test of a GoogleTest program under Wine becomes a CTest test of its own.
function(add_wine_gtests target)
  gtest_add_tests(TARGET ${target} TEST_PREFIX wine. WORKING_DIRECTORY ${TEST_SCRATCH_DIR} TEST_LIST tests)
  wine_test_properties(${tests})
endfunction()

# Programs the tests start.
add_executable(setup_standin tests/win32/setup_standin.cpp tests/win32/support.cpp)
target_include_directories(setup_standin PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(setup_standin PRIVATE desktop)
# A windows program, as a setup program is: a console one would bring a console along.
target_link_options(setup_standin PRIVATE -static -municode -mwindows)
add_library(shell32_standin SHARED tests/win32/shell32_standin.cpp)
# Kept out of bin/, where it would lie beside every program of the build; its export goes by
# the shell's own undecorated name.
set_target_properties(shell32_standin PROPERTIES PREFIX "" OUTPUT_NAME shell32
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin)
target_link_options(shell32_standin PRIVATE -static -Wl,--kill-at)

add_executable(win32_tests
  tests/win32/main.cpp
  tests/win32/probe.cpp
  tests/win32/support.cpp
  tests/win32/launch_win32_test.cpp
  tests/win32/resources_win32_test.cpp
  tests/win32/window_win32_test.cpp
  resources/launcher.rc)
target_include_directories(win32_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(win32_tests PRIVATE launcher_window desktop gtest version)
target_link_options(win32_tests PRIVATE -static -municode)
add_dependencies(win32_tests setup_standin shell32_standin Project1)
add_wine_gtests(win32_tests)

add_test(NAME build.executable_form COMMAND ${CMAKE_SOURCE_DIR}/tests/build/executable_form.sh $<TARGET_FILE:Project1>)
add_test(NAME build.resources COMMAND ${CMAKE_SOURCE_DIR}/tests/build/resources.sh $<TARGET_FILE:Project1>)
set_tests_properties(build.executable_form build.resources PROPERTIES LABELS build)

# Project1.exe end to end, driven from outside with real input.
add_executable(launcher_e2e_tests tests/win32/main.cpp tests/win32/probe.cpp tests/win32/support.cpp tests/win32/e2e_test.cpp)
target_include_directories(launcher_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(launcher_e2e_tests PRIVATE launch_win32 layout desktop gtest)
target_link_options(launcher_e2e_tests PRIVATE -static -municode)
add_dependencies(launcher_e2e_tests setup_standin shell32_standin Project1)
gtest_add_tests(TARGET launcher_e2e_tests TEST_PREFIX e2e. WORKING_DIRECTORY ${TEST_SCRATCH_DIR} TEST_LIST e2e_tests)
wine_test_properties(${e2e_tests})
set_property(TEST ${e2e_tests} APPEND PROPERTY ENVIRONMENT
  "WINE_STDERR_FILE=${TEST_SCRATCH_DIR}/wine-stderr.log"
  "WINE_STDERR_WINDOWS_PATH=Z:${TEST_SCRATCH_DIR}/wine-stderr.log")

# The medium image, made and launched from as a drive.
add_test(NAME wine.medium_image COMMAND ${CMAKE_SOURCE_DIR}/tests/build/medium.sh ${CMAKE_SOURCE_DIR} ${TEST_SCRATCH_DIR}/medium-image)
wine_test_properties(wine.medium_image)
