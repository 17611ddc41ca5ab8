# Windows build: Project1.exe, the programs the tests start, and the tests that run under Wine.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Programs of this build run under the test run's Wine session.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/wine/run)

# What goes into Project1.exe is built small: each function and datum in a section of its own, so
# that the linker keeps only what is used, and no exceptions, unwind tables or type information,
# none of which it uses (see window/no_exceptions_win32.cpp).
set(LAUNCHER_COMPILE_OPTIONS
  -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-unwind-tables -fno-asynchronous-unwind-tables -fno-rtti)
set(LAUNCHER_LINK_OPTIONS
  -static -s -mwindows -municode
  -Wl,--dynamicbase,--nxcompat,--no-insert-timestamp,--gc-sections)
add_compile_definitions(UNICODE _UNICODE)

# The Win32 services the launch needs that do not need a window.
add_library(launch_win32 STATIC
  window/ansi_win32.cpp
  window/module_path_win32.cpp
  window/dll_search_win32.cpp
  window/launcher_shell_win32.cpp)
target_link_libraries(launch_win32 PUBLIC launch)

# The window: everything of Project1.exe but its entry, so tests can build it in-process too.
add_library(launcher_window STATIC
  window/accessible_win32.cpp
  window/launcher_window_win32.cpp
  window/picture_win32.cpp)
target_link_libraries(launcher_window PUBLIC launch_win32 layout picture_codec welcome_picture ole32)

enable_language(RC)
add_executable(Project1 WIN32 window/main_win32.cpp window/no_exceptions_win32.cpp resources/launcher.rc)
target_link_libraries(Project1 PRIVATE launcher_window ole32)
target_link_options(Project1 PRIVATE ${LAUNCHER_LINK_OPTIONS})

# Every part of Project1.exe, the libraries first among them.
set(LAUNCHER_PARTS launch layout picture_codec welcome_picture launch_win32 launcher_window Project1)
foreach(part ${LAUNCHER_PARTS})
  target_compile_options(${part} PRIVATE ${LAUNCHER_COMPILE_OPTIONS})
endforeach()

if(LAUNCHER_ONLY)
  return()
endif()

# The demonstration medium's setup programs, one per language, each bin/demo/LANGUAGE/setup.exe.
set(index 0)
foreach(language English German French)
  add_executable(demo_setup_${language} WIN32 tools/demo_setup.cpp)
  target_compile_definitions(demo_setup_${language} PRIVATE DEMO_LANGUAGE=${index})
  target_link_options(demo_setup_${language} PRIVATE -static -municode -s)
  set_target_properties(demo_setup_${language} PROPERTIES OUTPUT_NAME setup
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/demo/${language})
  math(EXPR index "${index} + 1")
endforeach()

# Looking at and driving windows from outside, for the tests, the demonstration and the
# benchmarks; window_tool offers it to scripts.
add_library(desktop STATIC tools/desktop/desktop.cpp)
target_include_directories(desktop PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(window_tool tools/desktop/window_tool.cpp)
target_link_libraries(window_tool PRIVATE desktop)
target_link_options(window_tool PRIVATE -static -municode)

include(cmake/wine_tests.cmake)

# Benchmarks (make bench): the launcher against a ladder of baselines in the same run.
foreach(rung bare com)
  add_executable(baseline_${rung} WIN32 bench/baseline_window.cpp)
  target_link_libraries(baseline_${rung} PRIVATE layout ole32 xp_runtime)
  target_link_options(baseline_${rung} PRIVATE -static -municode -s)
endforeach()
target_compile_definitions(baseline_com PRIVATE BASELINE_COM)
# The launcher's own sources, but for the picture, which ready_picture.cpp supplies ready: the
# linker then takes no LoadWelcomePicture, and so no decoder, from launcher_window.
add_executable(baseline_required WIN32 window/main_win32.cpp window/no_exceptions_win32.cpp bench/ready_picture.cpp
  resources/launcher.rc)
target_compile_options(baseline_required PRIVATE ${LAUNCHER_COMPILE_OPTIONS})
target_link_libraries(baseline_required PRIVATE launcher_window ole32)
target_link_options(baseline_required PRIVATE ${LAUNCHER_LINK_OPTIONS})
add_executable(bench_driver bench/bench_driver.cpp resources/launcher.rc)
target_link_libraries(bench_driver PRIVATE launcher_window desktop psapi ole32 xp_runtime)
# psapi.dll's GetProcessMemoryInfo, which Windows XP has, not kernel32's K32 one of Windows 7.
target_compile_definitions(bench_driver PRIVATE PSAPI_VERSION=1)
target_link_options(bench_driver PRIVATE -static -municode)
add_dependencies(bench_driver baseline_bare baseline_com baseline_required Project1)

include(cmake/windows_kit.cmake)
