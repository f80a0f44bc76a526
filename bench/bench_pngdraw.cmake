# bench_pngdraw compares with QPainter; without the GUI there is no Qt to compare with.
if(TARGET bench_pngdraw)
  if(TARGET Qt6::Gui)
    target_link_libraries(bench_pngdraw PRIVATE Qt6::Gui)
  else()
    set_target_properties(bench_pngdraw PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()
