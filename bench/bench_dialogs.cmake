# bench_dialogs drives the panes and controls: it needs the GUI libraries.
if(TARGET velto_dialogs)
  target_link_libraries(bench_dialogs PRIVATE velto_dialogs Qt6::Widgets)
  target_compile_definitions(bench_dialogs PRIVATE VELTO_HAVE_DIALOGS)
endif()
