# ---- The Debian package ------------------------------------------------------------------
# Read only by a build for the Debian package (ONIGAWARA_DEBIAN_PACKAGE): make-deb makes it
# from such a build folder. The package (the component "debian", which a plain install
# leaves out) puts the program in games/, where Debian keeps games, with the page of
# install.cmake and the package's changelog and copyright in share/doc/onigawara/.
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_gzipped_file(${CMAKE_CURRENT_SOURCE_DIR}/changelog ${changelog})
add_custom_target(package_documents ALL DEPENDS ${changelog}.gz)

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

set(ONIGAWARA_PACKAGE_MAINTAINER "onigawara maintainers <onigawara@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")
set(package_summary "chat in Japanese with a short-tempered warring-states lord")
set(package_description "A chat partner for a text console. You talk to Onigawara, a short-tempered
feudal lord of Japan's warring-states era, one line at a time; his household
and his rivals drop in. The text is Japanese in Shift_JIS, converted to and
from UTF-8 at a UTF-8 terminal.")

# make-deb builds the package from this folder with dpkg's own tools (dpkg-shlibdeps,
# dpkg-gencontrol, dpkg-deb), the same bytes from the same build.
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
