# GoogleTest for the Windows build: Debian ships only its source (package googletest),
# cross-built here with the program's toolchain. The targets get the names
# find_package(GTest) gives on Linux, so the tests' CMake files are the same.
set(QBX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
if(NOT EXISTS ${QBX_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's source is missing at ${QBX_GTEST_SOURCE} (apt-get install googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${QBX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest 1.11 and later name them itself; older ones get the names here.
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
# The tests are listed when ctest runs them (under Wine, in the environment
# scripts/wine-env.sh sets up), not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
