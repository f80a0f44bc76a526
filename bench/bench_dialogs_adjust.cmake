# bench_dialogs_adjust opens the adjustment dialogs in the program: it needs
# the GUI libraries.
if(TARGET velto_dialogs)
  target_link_libraries(bench_dialogs_adjust PRIVATE velto_dialogs Qt6::Widgets)
  target_compile_definitions(bench_dialogs_adjust PRIVATE VELTO_HAVE_DIALOGS)
endif()
