# bench_browse measures the thumbnail grid: it needs the browsing library,
# so it is left out of the build without the GUI.
if(TARGET velto_browse)
  target_link_libraries(bench_browse PRIVATE velto_browse Qt6::Widgets Qt6::Test)
else()
  set_target_properties(bench_browse PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
