# The PNG peer tests compare with libpng.
if(TARGET test_png_peer)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
  target_link_libraries(test_png_peer PRIVATE PkgConfig::LIBPNG)
endif()
