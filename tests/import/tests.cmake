# The cost tests run velto-dump on both roads a file takes (its plain reading
# and --import), each in a child process whose processor time and peak size
# the system reports.
if(NOT VELTO_FUZZ)
  target_compile_definitions(test_import PRIVATE VELTO_DUMP_TOOL="$<TARGET_FILE:velto-dump>")
  add_dependencies(test_import velto-dump)
endif()
