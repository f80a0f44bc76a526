# bench_import compares with libjpeg's own decode and with giflib's writer.
find_package(JPEG REQUIRED)
find_library(GIFLIB_LIBRARY gif REQUIRED)
find_path(GIFLIB_INCLUDE_DIR gif_lib.h REQUIRED)
target_include_directories(bench_import PRIVATE "${GIFLIB_INCLUDE_DIR}")
target_link_libraries(bench_import PRIVATE JPEG::JPEG "${GIFLIB_LIBRARY}")
