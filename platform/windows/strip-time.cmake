# Read by cpack as it makes the zip (CPACK_PROJECT_CONFIG_FILE). Stripping the
# program rewrites its header, and the strip of binutils writes the time of
# stripping there unless SOURCE_DATE_EPOCH names a time: without one, the program
# keeps the time stamp it was linked with, none (0).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} 0)
endif()
