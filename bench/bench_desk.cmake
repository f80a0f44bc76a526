# bench_desk measures the document window: it needs the editor's library, so
# it is left out of the build without the GUI.
if(TARGET velto_shell)
  target_link_libraries(bench_desk PRIVATE velto_shell Qt6::Widgets)
else()
  set_target_properties(bench_desk PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
