# GoogleTest for the macOS cross build (MACOS_CROSS_TESTS=1 bash
# scripts/macos-cross.sh): built from the sources Debian's libgtest-dev ships,
# so that the Mac test programs compile and link. They cannot run here, so
# their tests are listed when ctest runs, not after the build.
if(NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest 1.11 and later define these names themselves.
  foreach(library gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${library})
      add_library(GTest::${library} ALIAS ${library})
    endif()
  endforeach()
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
set(GTest_FOUND TRUE)
