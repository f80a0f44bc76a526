# bench_selection moves a selection frame on a document window: it needs the
# editor's library, so it is left out of the build without the GUI.
if(TARGET velto_shell)
  target_link_libraries(bench_selection PRIVATE velto_shell Qt6::Widgets)
else()
  set_target_properties(bench_selection PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
