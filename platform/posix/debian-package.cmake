# ---- Installed like a console game ----------------------------------------------------------
# cmake --install for a plain prefix puts the program in bin/, beside the other programs
# there, and its page in section 6. The Debian package (the component "debian", which a
# plain install leaves out) puts the program in games/, where Debian keeps games, with the
# same page and the package's changelog and copyright in share/doc/onigawara/.
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
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/onigawara.6)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_gzipped_file(${PROJECT_SOURCE_DIR}/docs/onigawara.6 ${man_page})
add_gzipped_file(${CMAKE_CURRENT_SOURCE_DIR}/changelog ${changelog})
add_custom_target(installed_documents ALL DEPENDS ${man_page}.gz ${changelog}.gz)

install(TARGETS onigawara RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

install(TARGETS onigawara RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${man_page}.gz DESTINATION share/man/man6 COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${changelog}.gz ${CMAKE_CURRENT_SOURCE_DIR}/copyright
        DESTINATION share/doc/onigawara COMPONENT debian EXCLUDE_FROM_ALL)

# The package is native: its version is the program's, and the changelog's latest entry
# must say so, or the package would carry one version and its changelog another.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^onigawara \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "platform/posix/changelog begins with \"${changelog_head}\", not version ${PROJECT_VERSION}")
endif()

# ---- The Debian package ------------------------------------------------------------------
set(ONIGAWARA_PACKAGE_MAINTAINER "onigawara maintainers <onigawara@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")
set(package_summary "chat in Japanese with a short-tempered warring-states lord")
set(package_description "A chat partner for a text console. You talk to Onigawara, a short-tempered
feudal lord of Japan's warring-states era, one line at a time; his household
and his rivals drop in. The text is Japanese in Shift_JIS, converted to and
from UTF-8 at a UTF-8 terminal.")

# make-deb builds the package from this folder with dpkg's own tools (dpkg-shlibdeps,
# dpkg-gencontrol, dpkg-deb), the same bytes from the same build: scripts/release uses it.
string(REPLACE "\n" "\n " control_description "${package_description}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/debian-package/debian/control @ONLY CONTENT
"Source: onigawara
Section: games
Priority: optional
Maintainer: ${ONIGAWARA_PACKAGE_MAINTAINER}

Package: onigawara
Architecture: any
Depends: \${shlibs:Depends}
Description: ${package_summary}
 ${control_description}
")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/changelog ${PROJECT_BINARY_DIR}/debian-package/debian/changelog COPYONLY)

# cpack -G DEB (in the build folder) makes a package of the same files for developers;
# its archives carry the time they were made.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME onigawara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${package_summary})
set(CPACK_PACKAGE_DESCRIPTION ${package_description})
set(CPACK_PACKAGE_CONTACT ${ONIGAWARA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL debian)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: from the C library the program links
include(CPack)
