# The GIF peer tests compare with giflib and take CRCs with zlib.
if(TARGET test_gif_peer)
  find_package(ZLIB REQUIRED)
  find_library(GIFLIB_LIBRARY gif REQUIRED)
  find_path(GIFLIB_INCLUDE_DIR gif_lib.h REQUIRED)
  target_include_directories(test_gif_peer PRIVATE "${GIFLIB_INCLUDE_DIR}")
  target_link_libraries(test_gif_peer PRIVATE "${GIFLIB_LIBRARY}" ZLIB::ZLIB)
endif()
