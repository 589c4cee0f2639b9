# The Windows build's tests, run under wine on the build machine. One wine prefix
# serves the whole test run: made by the first test, removed by the last.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(wine_py ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine.py)

add_test(NAME windows.wine_prefix_create COMMAND Python3::Interpreter ${wine_py} create ${PROJECT_BINARY_DIR})
add_test(NAME windows.wine_prefix_remove COMMAND Python3::Interpreter ${wine_py} remove ${PROJECT_BINARY_DIR})
set_tests_properties(windows.wine_prefix_create PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(windows.wine_prefix_remove PROPERTIES FIXTURES_CLEANUP wine)

add_test(NAME windows.unit_tests
         COMMAND Python3::Interpreter ${wine_py} run ${PROJECT_BINARY_DIR} $<TARGET_FILE:onigawara_tests>)
add_test(NAME windows.piped_sessions
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/piped_test.py ${PROJECT_BINARY_DIR}
                 $<TARGET_FILE:onigawara> ${CMAKE_CURRENT_SOURCE_DIR}/transcripts)
add_executable(console_keys windows/console_keys.cpp)
target_link_options(console_keys PRIVATE -municode)  # wmain
add_test(NAME windows.console_sessions
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/console_test.py ${PROJECT_BINARY_DIR}
                 $<TARGET_FILE:onigawara> $<TARGET_FILE:console_keys>)
add_test(NAME windows.package
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/package_test.py ${CMAKE_CPACK_COMMAND}
                 ${CMAKE_OBJDUMP} ${PROJECT_BINARY_DIR})
set_tests_properties(windows.unit_tests windows.piped_sessions windows.console_sessions windows.package
                     PROPERTIES FIXTURES_REQUIRED wine)

# What the program says about itself (version information, manifest, icon), as
# Windows' own functions read it under wine and as the file's resource directory holds it.
add_executable(resource_probe windows/resource_probe.cpp)
target_link_options(resource_probe PRIVATE -municode)  # wmain
target_link_libraries(resource_probe PRIVATE version)
add_test(NAME windows.resources
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/resources_test.py ${PROJECT_BINARY_DIR}
                 $<TARGET_FILE:onigawara> $<TARGET_FILE:resource_probe> ${PROJECT_SOURCE_DIR}/icon/onigawara.ico)
set_tests_properties(windows.resources PROPERTIES FIXTURES_REQUIRED wine)

# Nothing but Windows' own DLLs: the program runs on a Windows with nothing installed beside it.
add_test(NAME windows.imports_only_windows_dlls
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/windows/imports_test.py ${CMAKE_OBJDUMP}
                 $<TARGET_FILE:onigawara>)

# The code page 932 tables follow their generator's source in a build for another platform.
add_test(NAME windows.table_generator_follows_its_source
         COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/table_generator_test.py ${CMAKE_COMMAND}
                 ${PROJECT_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE})

# Labels: all of these are slow; those run under wine are "wine" too.
get_property(tests_here DIRECTORY PROPERTY TESTS)
foreach(test IN LISTS tests_here)
  set_tests_properties(${test} PROPERTIES LABELS slow)
endforeach()
set_tests_properties(windows.unit_tests windows.piped_sessions windows.console_sessions windows.package
                     windows.resources windows.wine_prefix_create windows.wine_prefix_remove
                     PROPERTIES LABELS "slow;wine")
