# The Windows program as players get it: `cpack` in the build folder makes
# onigawara-3.0-win64.zip, holding the program and a short README for players.
install(TARGETS onigawara RUNTIME DESTINATION .)

# A text file as Windows' Notepad reads it: CR LF line ends.
set(players_readme ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/README-players.txt ${players_readme} @ONLY NEWLINE_STYLE CRLF)
install(FILES ${players_readme} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME onigawara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
include(CPack)
