# The Win32 test programs and the programs they start. The test run runs them as the Windows
# test kit (windows_kit.cmake), under Wine, in one Wine session per test run: 'wine.start' sets it
# up before the first test that needs it, 'wine.stop' takes it down after the last, even when a
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

function(wine_test_properties)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wine LABELS wine TIMEOUT 1200
    ENVIRONMENT "WINE_SESSION_DIR=${WINE_SESSION_DIR}")
endfunction()

# What every program of the test kit but Project1.exe needs to start on Windows XP.
add_library(xp_runtime OBJECT tests/kit/xp_runtime.cpp)

# Programs the tests start.
add_executable(setup_standin tests/win32/setup_standin.cpp tests/win32/platform.cpp)
target_include_directories(setup_standin PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(setup_standin PRIVATE launch_win32 desktop xp_runtime)
# A windows program, as a setup program is: a console one would bring a console along.
target_link_options(setup_standin PRIVATE -static -municode -mwindows)
add_library(shell32_standin SHARED tests/win32/shell32_standin.cpp)
target_link_libraries(shell32_standin PRIVATE xp_runtime)
# Kept out of bin/, where it would lie beside every program of the build; its export goes by
# the shell's own undecorated name.
set_target_properties(shell32_standin PROPERTIES PREFIX "" OUTPUT_NAME shell32
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin)
target_link_options(shell32_standin PRIVATE -static -Wl,--kill-at)

add_executable(win32_tests
  tests/win32/main.cpp
  tests/win32/platform.cpp
  tests/win32/probe.cpp
  tests/win32/support.cpp
  tests/win32/launch_win32_test.cpp
  tests/win32/resources_win32_test.cpp
  tests/win32/window_win32_test.cpp
  resources/launcher.rc)
target_include_directories(win32_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(win32_tests PRIVATE launcher_window desktop gtest version oleacc oleaut32 ole32 uuid xp_runtime)
target_link_options(win32_tests PRIVATE -static -municode)
add_dependencies(win32_tests setup_standin shell32_standin Project1)

add_test(NAME build.resources COMMAND ${CMAKE_SOURCE_DIR}/tests/build/resources.sh $<TARGET_FILE:Project1>)
set_tests_properties(build.resources PROPERTIES LABELS build)

# Project1.exe end to end, driven from outside with real input.
add_executable(launcher_e2e_tests tests/win32/main.cpp tests/win32/platform.cpp tests/win32/probe.cpp tests/win32/support.cpp
  tests/win32/e2e_test.cpp)
target_include_directories(launcher_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(launcher_e2e_tests PRIVATE launch_win32 layout desktop gtest oleacc oleaut32 ole32 uuid xp_runtime)
target_link_options(launcher_e2e_tests PRIVATE -static -municode)
add_dependencies(launcher_e2e_tests setup_standin shell32_standin Project1)

# Signing the medium: each identity, timestamps from a local authority, reproducible images, and
# every bad input refused. No Wine needed.
add_test(NAME build.medium_signing COMMAND ${CMAKE_SOURCE_DIR}/tests/build/medium_signing.sh ${CMAKE_SOURCE_DIR}
         ${TEST_SCRATCH_DIR}/medium-signing)
set_tests_properties(build.medium_signing PROPERTIES LABELS build TIMEOUT 300)

# The medium image, signed, made and launched from as a drive.
add_test(NAME wine.medium_image COMMAND ${CMAKE_SOURCE_DIR}/tests/build/medium.sh ${CMAKE_SOURCE_DIR} ${TEST_SCRATCH_DIR}/medium-image)
wine_test_properties(wine.medium_image)

# Whether Windows trusts the signed launcher of a signed medium.
add_executable(trust_check tests/win32/trust_check.cpp)
target_link_libraries(trust_check PRIVATE wintrust crypt32)
target_link_options(trust_check PRIVATE -static -municode)
