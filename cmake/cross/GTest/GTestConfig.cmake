# GoogleTest for the macOS cross build (MACOS_CROSS_TESTS=1 bash
# scripts/macos-cross.sh): built from the sources Debian's libgtest-dev ships,
# so that the Mac test programs compile and link. They cannot run here, so
# their tests are listed when ctest runs, not after the build.
if(NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
  add_library(GTest::gmock ALIAS gmock)
  add_library(GTest::gmock_main ALIAS gmock_main)
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
set(GTest_FOUND TRUE)
