# Writes the page: index.html with its stylesheet, the program and its script inside
# it, so that one response brings the browser all it needs, and the script can run
# the program while the page is read. The page's Content-Security-Policy names the
# stylesheet and the script by their SHA-256.
#
#   cmake -DTEMPLATE=index.html -DSTYLE=style.css -DSCRIPT=onigawara.js -DPROGRAM=onigawara.wasm
#         -DCODE_PAGE=console/cp932.h -DPAGE=site/index.html -P make-page.cmake
#
# The template holds @STYLE@, @PROGRAM@ (the program's bytes in hex) and @SCRIPT@
# where they go, and @STYLE_HASH@ and @SCRIPT_HASH@ where the policy names them. The
# script holds [/* cp932_input_extras */] where the program's table of characters
# typed under their JIS forms goes, from CODE_PAGE: the page reads them as the
# program does, from the one table.

# Base64 of the bytes that `hex` spells, as a policy writes a hash.
function(base64_of_hex hex out)
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  string(LENGTH "${hex}" length)
  set(text "")
  # Each three bytes (six hex digits) make four characters; a last one or two
  # bytes make two or three, and '=' for each byte short of three.
  foreach(at RANGE 0 ${length} 6)
    if(at EQUAL length)
      break()
    endif()
    string(SUBSTRING "${hex}" ${at} 6 group)
    string(LENGTH "${group}" digits)
    math(EXPR short "6 - ${digits}")
    math(EXPR missing "${short} / 2")
    string(REPEAT "0" ${short} zeros)
    math(EXPR bits "0x${group}${zeros}" OUTPUT_FORMAT DECIMAL)
    math(EXPR count "4 - ${missing}")
    foreach(shift 18 12 6 0)
      if(count EQUAL 0)
        break()
      endif()
      math(EXPR index "(${bits} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 character)
      string(APPEND text "${character}")
      math(EXPR count "${count} - 1")
    endforeach()
    string(REPEAT "=" ${missing} padding)
    string(APPEND text "${padding}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# `text` goes inside <`element`>: it must not end the element early or open a comment.
function(check_inside element file text)
  string(TOLOWER "${text}" lower)
  foreach(ending "</${element}" "<!--")
    string(FIND "${lower}" "${ending}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${file} holds ${ending}, which would break the page it goes into")
    endif()
  endforeach()
endfunction()

# The rows {0xCODE_POINT, 0xCODE} of cp932_input_extras in `header`, as a JavaScript
# array of [code point, code] pairs. Every row of the table must be read: a line of
# it that holds a code but no row is an error, not a row left out.
function(input_extras_of header out)
  file(READ ${header} text)
  string(REGEX MATCH "cp932_input_extras\\[\\] = {[^;]*;" table "${text}")
  if(NOT table)
    message(FATAL_ERROR "${header} has no table cp932_input_extras")
  endif()
  string(REGEX MATCHALL "{0x[0-9A-Fa-f]+, 0x[0-9A-Fa-f]+}" rows "${table}")
  string(REGEX MATCHALL "\n[^\n]*0x" lines "${table}")
  list(LENGTH rows row_count)
  list(LENGTH lines line_count)
  if(row_count EQUAL 0 OR NOT row_count EQUAL line_count)
    message(FATAL_ERROR "${header}: read ${row_count} rows of cp932_input_extras in ${line_count} lines")
  endif()
  list(TRANSFORM rows REPLACE "{(0x[0-9A-Fa-f]+), (0x[0-9A-Fa-f]+)}" "[\\1, \\2]")
  list(JOIN rows ", " array)
  set(${out} "[${array}]" PARENT_SCOPE)
endfunction()

file(READ ${STYLE} STYLE)
file(READ ${SCRIPT} SCRIPT)
string(FIND "${SCRIPT}" "[/* cp932_input_extras */]" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${SCRIPT} has no [/* cp932_input_extras */] for the table to go")
endif()
input_extras_of(${CODE_PAGE} input_extras)
string(REPLACE "[/* cp932_input_extras */]" "${input_extras}" SCRIPT "${SCRIPT}")
file(READ ${PROGRAM} PROGRAM HEX)
# The comments are for the reader of the source, not for the player's browser: the
# page goes without the script's comment lines (those that hold nothing else) and
# the stylesheet's comments.
string(REGEX REPLACE "(^|\n)[ \t]*//[^\n]*" "" SCRIPT "${SCRIPT}")
string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/\n?" "" STYLE "${STYLE}")
check_inside(style ${STYLE} "${STYLE}")
check_inside(script ${SCRIPT} "${SCRIPT}")
string(SHA256 style_hex "${STYLE}")
string(SHA256 script_hex "${SCRIPT}")
base64_of_hex(${style_hex} STYLE_HASH)
base64_of_hex(${script_hex} SCRIPT_HASH)
configure_file(${TEMPLATE} ${PAGE} @ONLY)
