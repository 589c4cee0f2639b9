# ---- Installed like a console game ----------------------------------------------------------
# cmake --install for a plain prefix puts the program in bin/, beside the other programs
# there, and its page in section 6 (a packager who keeps games elsewhere gives
# CMAKE_INSTALL_BINDIR, e.g. games).
include(GNUInstallDirs)
find_program(GZIP_COMMAND gzip REQUIRED)

# The page and the changelog are compressed as Debian compresses them: gzip -9n, with
# neither the file's name nor its time in the header, so the same text gives the same bytes.
function(add_gzipped_file source output)
  add_custom_command(
    OUTPUT ${output}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
    COMMAND ${GZIP_COMMAND} -9nf ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}")
endfunction()

# The page carries the program's version and the date of its source (the last commit's).
include(${PROJECT_SOURCE_DIR}/cmake/source-date.cmake)
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/onigawara.6)
configure_file(${PROJECT_SOURCE_DIR}/docs/onigawara.6 ${CMAKE_CURRENT_BINARY_DIR}/page/onigawara.6 @ONLY)
add_gzipped_file(${CMAKE_CURRENT_BINARY_DIR}/page/onigawara.6 ${man_page})
add_custom_target(manual_page ALL DEPENDS ${man_page}.gz)

install(TARGETS onigawara RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
