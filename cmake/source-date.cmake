# The date of the source, for the manual page: the last commit's, so that the same
# source gives the same page wherever and whenever it is built. Sets
# ONIGAWARA_SOURCE_DATE to YYYY-MM-DD (UTC), from the first of these that knows it:
#
#   - SOURCE_DATE_EPOCH, the convention of reproducible builds (scripts/release sets it);
#   - cmake/commit-time, in which git archive writes the commit's time (export-subst
#     in .gitattributes), so a source tarball knows it without git;
#   - git, asked in a clone.
#
# It is "" when none does (a copy of a clone, without its .git).
set(source_epoch "$ENV{SOURCE_DATE_EPOCH}")
if(source_epoch STREQUAL "")
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/commit-time source_epoch LIMIT_COUNT 1 REGEX "^[0-9]+$")
endif()
if(source_epoch STREQUAL "")
  find_package(Git QUIET)
  if(Git_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE source_epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_failed)
    if(git_failed OR NOT source_epoch MATCHES "^[0-9]+$")
      set(source_epoch "")
    endif()
  endif()
endif()

set(ONIGAWARA_SOURCE_DATE "")
if(NOT source_epoch STREQUAL "")
  # string(TIMESTAMP) gives the time SOURCE_DATE_EPOCH names, when it is set.
  set(caller_epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} ${source_epoch})
  string(TIMESTAMP ONIGAWARA_SOURCE_DATE "%Y-%m-%d" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${caller_epoch}")
endif()
