# ---- Installed like a console game: the program and its page in section 6 ----------------
include(GNUInstallDirs)
install(TARGETS onigawara RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The page is installed compressed, as man pages are on Debian.
find_program(GZIP_COMMAND gzip REQUIRED)
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/onigawara.6)
add_custom_command(
  OUTPUT ${man_page}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/onigawara.6 ${man_page}
  COMMAND ${GZIP_COMMAND} -9nf ${man_page}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/onigawara.6
  COMMENT "Compressing the manual page")
add_custom_target(manual_page ALL DEPENDS ${man_page}.gz)
install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# cpack -G DEB (in the build directory) makes a Debian package of what is installed.
set(ONIGAWARA_PACKAGE_MAINTAINER "onigawara maintainers <onigawara@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME onigawara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chat in Japanese with a short-tempered warring-states lord")
set(CPACK_PACKAGE_DESCRIPTION "A chat partner for a text console. You talk to Onigawara, a short-tempered
feudal lord of Japan's warring-states era, one line at a time; his household
and his rivals drop in. The text is Japanese in Shift_JIS, converted to and
from UTF-8 at a UTF-8 terminal.")
set(CPACK_PACKAGE_CONTACT ${ONIGAWARA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: from the C library the program links
include(CPack)
