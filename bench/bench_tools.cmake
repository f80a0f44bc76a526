# bench_tools measures strokes on a document window: it needs the editor's
# library, so it is left out of the build without the GUI.
if(TARGET velto_shell)
  target_link_libraries(bench_tools PRIVATE velto_shell Qt6::Widgets)
else()
  set_target_properties(bench_tools PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
