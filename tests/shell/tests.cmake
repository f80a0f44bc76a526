# The second process of the single-instance hand-over test.
if(TARGET test_shell)
  add_executable(velto_instance_helper shell/instance_helper/instance_helper.cpp)
  target_link_libraries(velto_instance_helper PRIVATE velto_shell)
  velto_target_defaults(velto_instance_helper)
  add_dependencies(test_shell velto_instance_helper)
  target_compile_definitions(test_shell PRIVATE VELTO_INSTANCE_HELPER="$<TARGET_FILE:velto_instance_helper>")
endif()
