# Native builds use the system GoogleTest; cross builds compile it from the Debian source package.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Newer GoogleTest sources define the GTest:: names themselves.
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
# Cross builds list their tests when CTest runs them, not when they are built: a build never
# needs Wine, and a machine that cannot run the programs can still build them. Listing them
# starts Wine, and the first start in a prefix creates it, which on a busy machine takes
# minutes: the time allowed is a bound against a hang, not a speed.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
  set(KINDPROBE_DISCOVERY_TIMEOUT 900)
else()
  set(KINDPROBE_DISCOVERY_TIMEOUT 120)
endif()
