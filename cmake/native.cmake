# Native build: the platform-free code and its unit tests, plus the checks on the Windows build
# that need only Linux tools. The Windows build's tests join this build's CTest run.

find_package(GTest REQUIRED)

# The picture's encoder: the artwork tool makes the carried stream with it, the tests check it.
add_library(picture_encoder STATIC tools/artwork/picture_encoder.cpp)
target_link_libraries(picture_encoder PUBLIC picture_codec)

add_executable(native_tests
  tests/launch_test.cpp
  tests/layout_test.cpp
  tests/picture_test.cpp)
target_link_libraries(native_tests PRIVATE layout picture_codec picture_encoder welcome_picture GTest::gtest_main)
# The artwork generator; only 'make assets' runs it, and only it needs Cairo.
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(CAIRO IMPORTED_TARGET cairo)
endif()
if(CAIRO_FOUND)
  add_executable(artwork tools/artwork/main.cpp tools/artwork/drawing.cpp tools/artwork/bitmap_formats.cpp)
  target_link_libraries(artwork PRIVATE picture_encoder PkgConfig::CAIRO m)
endif()

include(GoogleTest)
gtest_add_tests(TARGET native_tests TEST_PREFIX native. TEST_LIST native_test_names)
set_tests_properties(${native_test_names} PROPERTIES LABELS native)

add_test(NAME build.reproducible
  COMMAND ${CMAKE_SOURCE_DIR}/tests/build/reproducible.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/reproducible)
set_tests_properties(build.reproducible PROPERTIES LABELS build)

# One CTest run covers both builds: ctest descends into the Windows build folder as into a
# subdirectory of this one.
set(WINDOWS_BUILD_DIR "" CACHE PATH "Folder of the Windows build whose tests join this build's")
if(WINDOWS_BUILD_DIR)
  file(WRITE ${CMAKE_BINARY_DIR}/windows-tests.cmake "subdirs(\"${WINDOWS_BUILD_DIR}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/windows-tests.cmake)
endif()
