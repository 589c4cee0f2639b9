# Writes the page: index.html with its stylesheet, the program and its script inside
# it, so that one response brings the browser all it needs, and the script can run
# the program while the page is read. The page's Content-Security-Policy names the
# stylesheet and the script by their SHA-256.
#
#   cmake -DTEMPLATE=index.html -DSTYLE=style.css -DSCRIPT=onigawara.js -DPROGRAM=onigawara.wasm
#         -DPAGE=site/index.html -P make-page.cmake
#
# The template holds @STYLE@, @PROGRAM@ (the program's bytes in hex) and @SCRIPT@
# where they go, and @STYLE_HASH@ and @SCRIPT_HASH@ where the policy names them.

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

file(READ ${STYLE} STYLE)
file(READ ${SCRIPT} SCRIPT)
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
