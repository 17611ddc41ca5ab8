# The Win32 tests as one archive for a real Windows (make windows-kit): Project1.exe, the test
# programs, what they start, the benchmark's ladder and the two command files, unpacked and run
# there with no install. The same archive is run under Wine by the test run.

add_executable(kit_runner tests/kit/kit_runner.cpp tests/win32/platform.cpp tests/win32/support.cpp)
target_include_directories(kit_runner PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(kit_runner PRIVATE launch_win32 desktop oleacc oleaut32 ole32 uuid xp_runtime)
target_link_options(kit_runner PRIVATE -static -municode)

set(KIT_ARCHIVE ${CMAKE_BINARY_DIR}/windows-kit.zip CACHE FILEPATH "Where make windows-kit writes the archive")
set(kit ${CMAKE_BINARY_DIR}/kit/windows-kit)
set(kit_programs Project1 win32_tests launcher_e2e_tests setup_standin kit_runner
                 bench_driver baseline_bare baseline_com baseline_required)
set(kit_commands ${CMAKE_SOURCE_DIR}/tests/kit/run-tests.cmd ${CMAKE_SOURCE_DIR}/tests/kit/run-bench.cmd)
set(kit_program_files)
foreach(program ${kit_programs})
  list(APPEND kit_program_files $<TARGET_FILE:${program}>)
endforeach()
add_custom_command(OUTPUT ${KIT_ARCHIVE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${kit}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${kit}/bin ${kit}/standin
  COMMAND ${CMAKE_COMMAND} -E copy ${kit_program_files} ${kit}/bin
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:shell32_standin> ${kit}/standin
  COMMAND ${CMAKE_COMMAND} -E copy ${kit_commands} ${kit}
  # A fixed date, so the archive of one build is the same every time it is made.
  COMMAND ${CMAKE_COMMAND} -E chdir ${kit} ${CMAKE_COMMAND} -E tar cf ${KIT_ARCHIVE}.part --format=zip
          "--mtime=2000-01-01 00:00:00 UTC" run-tests.cmd run-bench.cmd bin standin
  COMMAND ${CMAKE_COMMAND} -E rename ${KIT_ARCHIVE}.part ${KIT_ARCHIVE}
  DEPENDS ${kit_programs} shell32_standin ${kit_commands}
  COMMENT "Packing the Windows test kit")
add_custom_target(windows_kit ALL DEPENDS ${KIT_ARCHIVE})

# Project1.exe, and every program of the kit, start on Windows XP SP3: their imports and headers.
add_test(NAME build.executable_form COMMAND ${CMAKE_SOURCE_DIR}/tests/build/executable_form.sh $<TARGET_FILE:Project1>
         ${kit_program_files} $<TARGET_FILE:shell32_standin>)
set_tests_properties(build.executable_form PROPERTIES LABELS build)

# The kit under Wine's cmd, each way it is meant to be used (tests/kit/kit.sh).
foreach(mode as-wine as-windows not-in-ansi incomplete faulty)
  add_test(NAME kit.${mode} COMMAND ${CMAKE_SOURCE_DIR}/tests/kit/kit.sh ${mode} ${KIT_ARCHIVE} ${TEST_SCRATCH_DIR}/kit-${mode})
  wine_test_properties(kit.${mode})
endforeach()
