# The Windows program as players get it: `cpack` in the build folder makes
# onigawara-VERSION-win64.zip, holding the program and a short README for players.
install(TARGETS onigawara RUNTIME DESTINATION .)

# A text file as Windows' Notepad reads it: CR LF line ends, and UTF-8 (it holds
# Japanese) marked as such by a byte order mark, which every Notepad heeds.
set(players_readme ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/README-players.txt)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/README-players.txt players_text)
string(ASCII 239 187 191 byte_order_mark)
file(CONFIGURE OUTPUT ${players_readme} CONTENT "${byte_order_mark}${players_text}" @ONLY NEWLINE_STYLE CRLF)
install(FILES ${players_readme} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME onigawara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/strip-time.cmake)
include(CPack)
