# GoogleTest for a cross build (Windows): Debian's libgtest-dev ships its sources,
# which are built here with the target's compiler. Sets GTest_FOUND and the
# targets GTest::gtest and GTest::gtest_main, as find_package(GTest) does.
set(googletest_sources /usr/src/googletest)
if(NOT EXISTS ${googletest_sources}/CMakeLists.txt)
  if(ONIGAWARA_REQUIRE_TESTS)
    message(FATAL_ERROR "No GoogleTest sources in ${googletest_sources} (Debian's libgtest-dev)")
  endif()
  set(GTest_FOUND FALSE)
  return()
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${googletest_sources} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set(GTest_FOUND TRUE)
