# Writes the site's service worker from its template, with the list of the site's
# files and a cache name made from their contents (SHA-256), the same bytes from
# the same files on every build.
#
#   cmake -DSITE=folder -DTEMPLATE=service-worker.js -P make-service-worker.cmake
#
# The site's files are those in SITE but the worker itself (sw.js). The page,
# index.html, is cached once, as './', which is how players reach it: the worker
# answers every page request from that.
file(GLOB names RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM names sw.js)
list(SORT names COMPARE STRING)

set(contents "")
set(FILES "'./'")
foreach(name IN LISTS names)
  file(SHA256 ${SITE}/${name} hash)
  string(APPEND contents "${hash}  ${name}\n")
  if(NOT name STREQUAL "index.html")
    string(APPEND FILES ", '${name}'")
  endif()
endforeach()
string(SHA256 hash "${contents}")
string(SUBSTRING ${hash} 0 16 hash)
set(CACHE_NAME onigawara-${hash})
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
